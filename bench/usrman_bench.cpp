// The user manager over a large organisation on the embedded store, run through HRZCmd as a
// host runs it, each part beside its floor measured in the same iterations:
//
//  - open: "XUSRMAN" until its window is ready (the gate, the tree with its root expanded,
//    the root's record shown) and closed. Floor: the SQL statements an open sends, replayed
//    straight on SQLite, plus a modal run of the same window with nothing read from the
//    store: its template, the empty tree and grid, and the root's form laid out. A second
//    ratio puts the bare template alone beside the SQL.
//  - search: one word matching about 1% of 100,000 users typed into the search edit and
//    Search pressed (the grid's first page shown). Floor: the SQL statements the search
//    sends, replayed straight on SQLite.
//
// The statements are those the module really sends: one open and one search are first run
// over plain TCP through a proxy that keeps every request.
//
//   usrman_bench                 HRZ_BENCH_USERS=20000 for a smaller organisation
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cool_dialog.h"
#include "dialog_template.h"
#include "entry/module_state.h"
#include "hrzserver/engine.h"
#include "large_org.h"
#include "resources/dialogs/roledept_ids.h"
#include "sent_sql.h"
#include "support/module_host.h"
#include "support/proxy_server.h"
#include "support/temp_dir.h"
#include "xclidb.h"
#include "xctrl_host.h"
#include "xgrid.h"
#include "xrecobjctrl.h"
#include "xtree.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kAdminPassword = "bench-adm";
// Codes are "U<nid>" from about NID 2,300 on: "U12" matches U12000 to U12999 and a few
// more, about 1.1% of 100,000 users; names ("User 12345") never hold it.
constexpr const char* kSearchWord = "U12";

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

struct Captured {
  std::vector<std::string> open;    // SQL of one open of the manager
  std::vector<std::string> search;  // SQL of one search in it
  std::size_t openRequests = 0;     // every request of the open, SQL or not
};

// A store without the sample has no privilege catalogue and grants nobody anything: the
// catalogue's first two entries go in, and the administrator receives the right to manage
// users ("UUSR", the second mark), as the sample gives them.
bool GrantAdministrator(const std::string& path) {
  sqlite3* db = nullptr;
  const bool granted =
      sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
      sqlite3_exec(db,
                   "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR, CDESC, CCAT) values"
                   "(1, 'UFUNCPVG', 'Function Privileges', 1, '', 'Administration'),"
                   "(2, 'UUSR', 'Users and Departments', 2, '', 'Administration');"
                   "insert or replace into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) "
                   "values(1, 'MM', x'0100000001000000')",
                   nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return granted;
}

// One open and one search over TCP through a proxy that keeps what the module sends.
bool Capture(hrztest::ModuleHost& module, const std::string& path, Captured* captured) {
  std::string error;
  std::unique_ptr<hrzsrv::Engine> engine = hrzsrv::Engine::Open(path, nullptr, &error);
  if (!engine) return false;
  hrztest::ProxyServer proxy(*engine, [](const hrztest::Frame&) { return std::nullopt; });
  char reason[256] = {};
  tagXCliDB* db = XCliDB_Open(proxy.location().c_str(), reason, sizeof reason);
  int status = 0;
  if (db == nullptr || !XCliDB_Logon(db, "adm", kAdminPassword, 260101, &status, nullptr, 0)) {
    if (db != nullptr) XCliDB_Close(db);
    return false;
  }
  module.Initialise(db);
  std::size_t opened = 0, searched = 0;
  module.user().OnDialog(IDD_ROLEDEPT, [&](hrz::DialogDriver& d) {
    opened = proxy.Received().size();
    d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, kSearchWord);
    d.Click(IDC_ROLEDEPT_SEARCH);
    searched = proxy.Received().size();
  });
  module.Run("XUSRMAN");
  const std::vector<hrztest::Frame> frames = proxy.Received();
  captured->open = hrzbench::QueriesIn(frames, 0, opened);
  captured->openRequests = opened;
  captured->search = hrzbench::QueriesIn(frames, opened, searched);
  XCliDB_Logoff(db);
  XCliDB_Close(db);
  return !captured->open.empty() && !captured->search.empty();
}

// The manager's window as it stands before anything is read: the template, the tree and grid
// in the left pane, and the form of the root's kind in the record box.
class EmptyManagerWindow : public CCoolDialog {
 public:
  EmptyManagerWindow() : CCoolDialog(IDD_ROLEDEPT) {}

  BOOL OnInitDialog() override {
    CCoolDialog::OnInitDialog();
    left_.CreateOver(WS_VISIBLE, this, IDC_ROLEDEPT_VIEW_FRAME, IDC_ROLEDEPT_VIEW);
    RECT inside{};
    left_.GetClientRect(&inside);
    tree_.Create(WS_VISIBLE, inside, &left_, IDC_ROLEDEPT_TREE);
    grid_.Create(0, inside, &left_, IDC_ROLEDEPT_GRID);
    box_.CreateOver(WS_VISIBLE | WS_TABSTOP, this, IDC_ROLEDEPT_RECORD_FRAME, IDC_ROLEDEPT_RECORD);
    RECT box{};
    box_.GetClientRect(&box);
    form_.Create(WS_VISIBLE, box, &box_, IDC_ROLEDEPT_RECORD_FORM);
    if (!form_.LoadLayout("UDEPT")) std::abort();
    return TRUE;
  }

 private:
  XCtrlContainer left_;
  XTree tree_;
  XGrid grid_;
  CRecObjContainer box_;
  XRecObjCtrl form_;
};

struct Bench {
  hrztest::TempDir dir;
  std::string path;
  hrzbench::LargeOrgCounts counts;
  std::unique_ptr<hrztest::ModuleHost> module;
  Captured sql;
  tagXCliDB* db = nullptr;  // embedded, logged on as adm
  sqlite3* raw = nullptr;
};
Bench* g_bench = nullptr;

void BM_OpenUserManager(benchmark::State& state) {
  hrztest::ModuleHost& module = *g_bench->module;
  double open = 0, sql = 0, empty = 0, templateOnly = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    module.Run("XUSRMAN");  // no action: closed as soon as it is ready
    const Clock::time_point opened = Clock::now();
    hrzbench::Replay(g_bench->raw, g_bench->sql.open);
    const Clock::time_point replayed = Clock::now();
    {
      hrz::ModuleResourceScope resources;
      EmptyManagerWindow window;
      window.DoModal();
    }
    const Clock::time_point ran = Clock::now();
    {
      hrz::ModuleResourceScope resources;
      CCoolDialog window(IDD_ROLEDEPT);
      window.DoModal();
    }
    const Clock::time_point bare = Clock::now();
    open += Seconds(start, opened);
    sql += Seconds(opened, replayed);
    empty += Seconds(replayed, ran);
    templateOnly += Seconds(ran, bare);
    state.SetIterationTime(Seconds(start, opened));
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["open_ms"] = open / n * 1e3;
  state.counters["sql_ms"] = sql / n * 1e3;
  state.counters["empty_window_ms"] = empty / n * 1e3;
  state.counters["template_ms"] = templateOnly / n * 1e3;
  state.counters["ratio_to_floor"] = open / (sql + empty);
  state.counters["ratio_to_template"] = open / (sql + templateOnly);
  state.counters["statements"] = static_cast<double>(g_bench->sql.open.size());
  state.counters["requests"] = static_cast<double>(g_bench->sql.openRequests);
}
BENCHMARK(BM_OpenUserManager)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_QuickSearchInTheManager(benchmark::State& state) {
  hrztest::ModuleHost& module = *g_bench->module;
  double search = 0, sql = 0;
  long long rows = 0;
  for (auto _ : state) {
    double took = 0;
    module.user().OnDialog(IDD_ROLEDEPT, [&](hrz::DialogDriver& d) {
      d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, kSearchWord);
      const Clock::time_point start = Clock::now();
      d.Click(IDC_ROLEDEPT_SEARCH);
      took = Seconds(start, Clock::now());
    });
    module.Run("XUSRMAN");
    const Clock::time_point start = Clock::now();
    rows = hrzbench::Replay(g_bench->raw, g_bench->sql.search);
    sql += Seconds(start, Clock::now());
    search += took;
    state.SetIterationTime(took);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["search_ms"] = search / n * 1e3;
  state.counters["sql_ms"] = sql / n * 1e3;
  state.counters["ratio_to_floor"] = search / sql;
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_QuickSearchInTheManager)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Bench bench;
  bench.path = bench.dir.File("large.db");
  hrzbench::LargeOrgSize size;
  if (const char* users = std::getenv("HRZ_BENCH_USERS")) size.users = std::atoi(users);
  std::string error;
  char reason[256] = {};
  int status = 0;
  bench.module = std::make_unique<hrztest::ModuleHost>();
  bool ready = hrzbench::CreateLargeOrg(bench.path, kAdminPassword, size, &bench.counts, &error) &&
               GrantAdministrator(bench.path) && Capture(*bench.module, bench.path, &bench.sql);
  if (ready) bench.db = XCliDB_Open(bench.path.c_str(), reason, sizeof reason);
  ready =
      ready && bench.db != nullptr &&
      XCliDB_Logon(bench.db, "adm", kAdminPassword, 260101, &status, nullptr, 0) &&
      sqlite3_open_v2(bench.path.c_str(), &bench.raw, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  if (ready) {
    bench.module->Initialise(bench.db);
    benchmark::AddCustomContext("users", std::to_string(bench.counts.users));
    benchmark::AddCustomContext("departments", std::to_string(bench.counts.departments));
    benchmark::AddCustomContext("search word", kSearchWord);
    g_bench = &bench;
    benchmark::RunSpecifiedBenchmarks();
  } else {
    std::fprintf(stderr, "cannot prepare the store: %s%s\n", error.c_str(), reason);
  }
  benchmark::Shutdown();
  bench.module.reset();
  if (bench.db != nullptr) XCliDB_Close(bench.db);
  sqlite3_close(bench.raw);
  return ready ? 0 : 1;
}
