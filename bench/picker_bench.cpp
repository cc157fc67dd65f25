// The two pickers of the organisation over a large organisation on the embedded store, run as
// the module runs them (its dialogs, headless), each beside its floor measured in the same
// iterations: the SQL the dialog sends, replayed straight on SQLite, plus a modal run of the
// bare template.
//
//  - where used: a user's where-used view opened and its whole tree expanded (every path up to
//    the root), for a user in three places at depth 1 and for one in three places at depths 1,
//    2 and 4 (a role, a department of the second level and one of the fourth).
//  - department picker: opened on a preset path two and four levels deep, the reached
//    department confirmed with OK.
//
// Both run in an organisation of 100,000 users and in one of a tenth of that (the same 2,000
// departments), so the figures show what grows with depth and what with size. The statements
// are those the module really sends: each case is first run over plain TCP through a proxy
// that keeps every request.
//
//   picker_bench                 HRZ_BENCH_USERS=20000 for a smaller organisation
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cool_dialog.h"
#include "dialog_template.h"
#include "entry/module_state.h"
#include "hrzserver/engine.h"
#include "large_org.h"
#include "pickers/seldept_dlg.h"
#include "pickers/whereuse_dlg.h"
#include "resources/dialogs/seldept_ids.h"
#include "resources/dialogs/whereuse_ids.h"
#include "sent_sql.h"
#include "served_store.h"
#include "support/module_host.h"
#include "support/proxy_server.h"
#include "support/temp_dir.h"
#include "xbomtree.h"
#include "xclidb.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kAdminPassword = "bench-adm";

// Records added to each generated organisation, far above its NIDs.
constexpr int kRoleNid = 990000;         // a role under the root
constexpr int kShallowUserNid = 990001;  // in the role and two departments of the first level
constexpr int kDeepUserNid = 990002;     // in the role, one of the second level, one of the fourth

// The first department of each level of the generated organisation hangs below the first of
// the level above: 301 (level 1), 311, 361, 661 (level 4).
constexpr int kPathToLevel4[] = {2, 301, 311, 361, 661};

struct WhereUsedCase {
  const char* name;
  int nid;
};
constexpr WhereUsedCase kWhereUsed[] = {{"depth 1", kShallowUserNid},
                                        {"depths 1, 2, 4", kDeepUserNid}};

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The role and the two users, with their links, straight into the store.
bool AddThreePlaceUsers(const std::string& path) {
  const std::string role = std::to_string(kRoleNid);
  const std::string shallow = std::to_string(kShallowUserNid);
  const std::string deep = std::to_string(kDeepUserNid);
  const std::string sql =
      "insert into UUSR(NID, CCODE, CNAME, CSRC, NSTAT) values(" + role +
      ", 'WROLE', 'Reviewers', 'UROLE', 255), (" + shallow + ", 'WU1', 'Shallow User', 'UUSRI', " +
      "255), (" + deep + ", 'WU3', 'Deep User', 'UUSRI', 255);" +
      "insert into UUSRBM(NPID, NCID, CVWA) values(2, " + role + ", 'T'), (" + role + ", " +
      shallow + ", 'T'), (302, " + shallow + ", 'T'), (303, " + shallow + ", 'T'), (" + role +
      ", " + deep + ", 'T'), (312, " + deep + ", 'T'), (661, " + deep + ", 'T')";
  sqlite3* db = nullptr;
  const bool added = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                     sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return added;
}

// One where-used view with its tree wholly expanded; the nodes it showed.
int RunWhereUsed(hrztest::ModuleHost& module, int nid) {
  int nodes = -1;
  module.user().OnDialog(IDD_WHEREUSE, [&nodes](hrz::DialogDriver& d) {
    if (auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_WHEREUSE_TREE))) {
      tree->ExpandAll(0);
      nodes = tree->GetNodes(-1);
    }
    d.Click(IDOK);
  });
  hrz::ModuleResourceScope resources;
  hrz::CWhereUseDlg dialog(nid);
  dialog.DoModal();
  return nodes;
}

// The department picker opened on the first depth + 1 slots of the path to level 4 and
// confirmed; the NID it gave back.
int RunPicker(hrztest::ModuleHost& module, int depth) {
  module.user().OnDialog(IDD_SELDEPT, [](hrz::DialogDriver& d) { d.Click(IDOK); });
  hrz::ModuleResourceScope resources;
  hrz::CSelDeptDlg dialog;
  std::copy_n(kPathToLevel4, depth + 1, dialog.presetPath);
  return dialog.DoModal() == IDOK ? dialog.chosenNid : -1;
}

// A modal run of a template with nothing read from the store, closed with OK.
void RunBareTemplate(hrztest::ModuleHost& module, int templateId) {
  module.user().OnDialog(templateId, [](hrz::DialogDriver& d) { d.Click(IDOK); });
  hrz::ModuleResourceScope resources;
  CCoolDialog bare(templateId);
  bare.DoModal();
}

struct Captured {
  std::vector<std::string> sql;
  std::size_t requests = 0;  // every request of the run, SQL or not
};

// A generated organisation, its connections and the SQL each case sends.
struct Org {
  hrztest::TempDir dir;
  std::string path;
  hrzbench::LargeOrgCounts counts;
  tagXCliDB* db = nullptr;  // embedded, logged on as adm
  sqlite3* raw = nullptr;
  Captured whereUsed[std::size(kWhereUsed)];
  Captured picker[5];  // by depth
  ~Org() {
    if (db != nullptr) XCliDB_Close(db);
    sqlite3_close(raw);
  }
};

// Runs each case once over TCP through a proxy that keeps what the module sends.
bool Capture(hrztest::ModuleHost& module, Org& org) {
  std::string error;
  std::unique_ptr<hrzsrv::Engine> engine = hrzsrv::Engine::Open(org.path, nullptr, &error);
  if (!engine) return false;
  hrztest::ProxyServer proxy(*engine, [](const hrztest::Frame&) { return std::nullopt; });
  tagXCliDB* db = hrzbench::LoggedOn(proxy.location(), "adm", kAdminPassword);
  module.Initialise(db);
  const auto keep = [&](Captured* into, const std::function<void()>& run) {
    const std::size_t from = proxy.Received().size();
    run();
    const std::vector<hrztest::Frame> frames = proxy.Received();
    into->sql = hrzbench::QueriesIn(frames, from, frames.size());
    into->requests = frames.size() - from;
  };
  bool right = true;
  for (std::size_t i = 0; i < std::size(kWhereUsed); ++i) {
    keep(&org.whereUsed[i], [&] { right = right && RunWhereUsed(module, kWhereUsed[i].nid) > 1; });
  }
  for (int depth : {2, 4}) {
    keep(&org.picker[depth],
         [&] { right = right && RunPicker(module, depth) == kPathToLevel4[depth]; });
  }
  XCliDB_Logoff(db);
  XCliDB_Close(db);
  return right;
}

bool Prepare(hrztest::ModuleHost& module, int users, Org& org, std::string* error) {
  org.path = org.dir.File("large.db");
  hrzbench::LargeOrgSize size;
  size.users = users;
  if (!hrzbench::CreateLargeOrg(org.path, kAdminPassword, size, &org.counts, error) ||
      !AddThreePlaceUsers(org.path) || !Capture(module, org)) {
    return false;
  }
  org.db = hrzbench::LoggedOn(org.path, "adm", kAdminPassword);
  return sqlite3_open_v2(org.path.c_str(), &org.raw, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
}

std::unique_ptr<hrztest::ModuleHost> g_module;
std::vector<std::unique_ptr<Org>> g_orgs;  // the large one, then the one of a tenth

// Times run beside its floor, in the same iterations: the SQL it sends replayed on SQLite,
// plus a modal run of its bare template. rows: what the replay read.
void MeasureBesideFloor(benchmark::State& state, Org& org, const Captured& sent, int templateId,
                        const std::function<void()>& run) {
  hrztest::ModuleHost& module = *g_module;
  module.Initialise(org.db);
  double dialog = 0, sql = 0, bare = 0;
  long long rows = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    run();
    const Clock::time_point ran = Clock::now();
    rows = hrzbench::Replay(org.raw, sent.sql);
    const Clock::time_point replayed = Clock::now();
    RunBareTemplate(module, templateId);
    const Clock::time_point done = Clock::now();
    dialog += Seconds(start, ran);
    sql += Seconds(ran, replayed);
    bare += Seconds(replayed, done);
    state.SetIterationTime(Seconds(start, ran));
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["dialog_ms"] = dialog / n * 1e3;
  state.counters["sql_ms"] = sql / n * 1e3;
  state.counters["template_ms"] = bare / n * 1e3;
  state.counters["ratio_to_floor"] = dialog / (sql + bare);
  state.counters["statements"] = static_cast<double>(sent.sql.size());
  state.counters["requests"] = static_cast<double>(sent.requests);
  state.counters["rows"] = static_cast<double>(rows);
}

void BM_WhereUsedOfAUserInThreePlaces(benchmark::State& state) {
  Org& org = *g_orgs[state.range(0)];
  const WhereUsedCase& who = kWhereUsed[state.range(1)];
  int nodes = 0;
  MeasureBesideFloor(state, org, org.whereUsed[state.range(1)], IDD_WHEREUSE,
                     [&] { nodes = RunWhereUsed(*g_module, who.nid); });
  state.SetLabel(std::string(who.name) + ", " + std::to_string(org.counts.users) + " users");
  state.counters["nodes"] = nodes;
}
BENCHMARK(BM_WhereUsedOfAUserInThreePlaces)
    ->ArgNames({"org", "user"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

void BM_DepartmentPickerOnAPresetPath(benchmark::State& state) {
  Org& org = *g_orgs[state.range(0)];
  const int depth = static_cast<int>(state.range(1));
  MeasureBesideFloor(state, org, org.picker[depth], IDD_SELDEPT, [&] {
    if (RunPicker(*g_module, depth) != kPathToLevel4[depth]) std::abort();
  });
  state.SetLabel("depth " + std::to_string(depth) + ", " + std::to_string(org.counts.users) +
                 " users");
}
BENCHMARK(BM_DepartmentPickerOnAPresetPath)
    ->ArgNames({"org", "depth"})
    ->ArgsProduct({{0, 1}, {2, 4}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  int users = 100000;
  if (const char* wanted = std::getenv("HRZ_BENCH_USERS")) users = std::atoi(wanted);
  g_module = std::make_unique<hrztest::ModuleHost>();
  std::string error;
  bool ready = true;
  for (int size : {users, users / 10}) {
    g_orgs.push_back(std::make_unique<Org>());
    ready = ready && Prepare(*g_module, size, *g_orgs.back(), &error);
  }
  if (ready) {
    benchmark::AddCustomContext("org 0", std::to_string(g_orgs[0]->counts.users) + " users");
    benchmark::AddCustomContext("org 1", std::to_string(g_orgs[1]->counts.users) + " users");
    benchmark::AddCustomContext("departments", std::to_string(g_orgs[0]->counts.departments));
    benchmark::RunSpecifiedBenchmarks();
  } else {
    std::fprintf(stderr, "cannot prepare the stores: %s\n", error.c_str());
  }
  benchmark::Shutdown();
  g_module.reset();
  g_orgs.clear();
  return ready ? 0 : 1;
}
