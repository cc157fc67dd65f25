// The data-bound widgets over a generated organisation, each beside a plain SQLite read of
// the same rows so that the widgets' overhead shows as a ratio.
//
//   widgets_bench [--benchmark_filter=...]    HRZ_BENCH_USERS=20000 for a smaller run
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <random>
#include <string>

#include "large_org.h"
#include "plain_read.h"
#include "support/qt_app.h"
#include "support/temp_dir.h"
#include "xbomtree.h"
#include "xclidb.h"
#include "xfindgrid.h"
#include "xrecobjctrl.h"

namespace {

constexpr const char* kAdminPassword = "bench-adm";

struct Store {
  hrztest::TempDir dir;
  std::string path;
  tagXCliDB* db = nullptr;
  sqlite3* raw = nullptr;
  hrzbench::LargeOrgCounts counts;
};
Store* g_store = nullptr;

long long PlainRead(const char* sql, int bindNid = -1) {
  return hrzbench::PlainRead(g_store->raw, sql, bindNid);
}

int RandomUser(std::mt19937& random) {
  std::uniform_int_distribution<int> pick(0, g_store->counts.users - 1);
  return g_store->counts.firstUserNid + pick(random);
}

// ---- The root and its children ----

void BM_Tree_AddRootNodeAndExpandRoot(benchmark::State& state) {
  int nodes = 0;
  for (auto _ : state) {
    XBOMTree tree;
    tree.SetDB(g_store->db);
    if (tree.AddRootNode("UUSR", -1, TRUE) != 0 || !tree.Expand(0)) state.SkipWithError("load");
    nodes = tree.GetNodes(-1);
  }
  state.counters["nodes"] = nodes;
}
BENCHMARK(BM_Tree_AddRootNodeAndExpandRoot)->Unit(benchmark::kMillisecond);

void BM_Sqlite_RootAndItsChildren(benchmark::State& state) {
  long long rows = 0;
  for (auto _ : state) {
    rows = PlainRead(
        "select UUSRBM.NID, UUSR.NID, UUSR.CSRC, UUSR.CCODE, UUSR.CNAME from UUSRBM join UUSR "
        "on UUSR.NID = UUSRBM.NCID where UUSRBM.NPID <= 0");
    rows += PlainRead(
        "select UUSRBM.NID, UUSR.NID, UUSR.CSRC, UUSR.CCODE, UUSR.CNAME from UUSRBM join UUSR "
        "on UUSR.NID = UUSRBM.NCID where UUSRBM.NPID = 2");
  }
  state.counters["nodes"] = static_cast<double>(rows);
}
BENCHMARK(BM_Sqlite_RootAndItsChildren)->Unit(benchmark::kMillisecond);

// ---- The whole organisation ----

void BM_Tree_ExpandAll(benchmark::State& state) {
  int nodes = 0;
  long long queries = 0;
  for (auto _ : state) {
    XBOMTree tree;
    tree.SetDB(g_store->db);
    if (tree.AddRootNode("UUSR", -1, TRUE) != 0) state.SkipWithError("root");
    long long before = tree.QueryCount();
    if (!tree.ExpandAll(0)) state.SkipWithError("expand");
    nodes = tree.GetNodes(-1);
    queries = tree.QueryCount() - before;
  }
  state.counters["nodes"] = nodes;
  state.counters["queries"] = static_cast<double>(queries);
}
BENCHMARK(BM_Tree_ExpandAll)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same nodes read level by level: ExpandAll below each department under the root, as
// a window does for the department it shows.
void BM_Tree_ExpandAllBelowEachTopDepartment(benchmark::State& state) {
  int nodes = 0;
  long long queries = 0;
  for (auto _ : state) {
    XBOMTree tree;
    tree.SetDB(g_store->db);
    if (tree.AddRootNode("UUSR", -1, TRUE) != 0 || !tree.Expand(0)) state.SkipWithError("root");
    long long before = tree.QueryCount();
    for (int top = tree.GetFirstChildNode(0); top >= 0; top = tree.GetNextNode(top)) {
      if (!tree.ExpandAll(top)) state.SkipWithError("expand");
    }
    nodes = tree.GetNodes(-1);
    queries = tree.QueryCount() - before;
  }
  state.counters["nodes"] = nodes;
  state.counters["queries"] = static_cast<double>(queries);
}
BENCHMARK(BM_Tree_ExpandAllBelowEachTopDepartment)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Sqlite_WholeOrganisation(benchmark::State& state) {
  long long rows = 0;
  for (auto _ : state) {
    rows = PlainRead(
        "select UUSRBM.NID, UUSRBM.NPID, UUSR.NID, UUSR.CSRC, UUSR.CCODE, UUSR.CNAME from UUSRBM "
        "join UUSR on UUSR.NID = UUSRBM.NCID");
  }
  state.counters["nodes"] = static_cast<double>(rows);
}
BENCHMARK(BM_Sqlite_WholeOrganisation)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same rows through the database client alone: what the client adds to plain SQLite.
void BM_Client_WholeOrganisation(benchmark::State& state) {
  long long rows = 0;
  for (auto _ : state) {
    XCliGenRS rs(g_store->db);
    if (!rs.Open(1,
                 "select UUSRBM.NID, UUSRBM.NPID, UUSR.NID, UUSR.CSRC, UUSR.CCODE, UUSR.CNAME "
                 "from UUSRBM join UUSR on UUSR.NID = UUSRBM.NCID")) {
      state.SkipWithError("query");
    }
    char text[256];
    int number = 0;
    for (rows = 0; !rs.IsEOF(); rs.MoveNext(), ++rows) {
      for (int c = 0; c < 3; ++c) rs.GetFieldValue(c, XCLI_TYPE_INT32, &number, 4);
      for (int c = 3; c < 6; ++c) rs.GetFieldValue(c, XCLI_TYPE_TEXT, text, sizeof text);
    }
  }
  state.counters["nodes"] = static_cast<double>(rows);
}
BENCHMARK(BM_Client_WholeOrganisation)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- Quick search over all users ----

// What the quick search sends for the word "U" over "CCODE | CNAME": it matches every user.
constexpr const char* kEveryUser =
    "upper(CCODE) like upper('%U%') or upper(CNAME) like upper('%U%')";

void BM_Grid_QuickSearchDoFind(benchmark::State& state) {
  int count = 0, rows = 0;
  for (auto _ : state) {
    XUserFindGrid grid;
    grid.SetDB(g_store->db);
    grid.InitCtrls("User Search Result");
    grid.SetUserFilterType(4);
    rows = grid.DoFind(kEveryUser, nullptr, &count, FALSE);
    if (state.range(0) != 0) rows += grid.GetAll(TRUE);
  }
  state.counters["rows"] = rows;
  state.counters["matches"] = count;
}
BENCHMARK(BM_Grid_QuickSearchDoFind)
    ->ArgName("getall")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_Sqlite_QuickSearch(benchmark::State& state) {
  long long rows = 0;
  for (auto _ : state) {
    rows = PlainRead(
        "select UUSR.NID, UUSR.CSRC, UUSR.CCODE, UUSR.CNAME, UUSR.CSRC, UUSR.NSTAT from UUSR "
        "where (upper(CCODE) like upper('%U%') or upper(CNAME) like upper('%U%')) and "
        "UUSR.CSRC in ('UUSRI', 'KQUSR', 'UUSRO', 'UDEPT', 'UROLE') order by UUSR.CCODE, UUSR.NID");
  }
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_Sqlite_QuickSearch)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- One record in the form ----

void BM_Form_ShowRecord(benchmark::State& state) {
  XUpdateRecObjCtrl form;
  form.SetDB(g_store->db);
  form.InitCtrls("UUSR", TRUE);
  std::mt19937 random(7);
  const char* tables[] = {"UUSR", "UUSRBM"};
  for (auto _ : state) {
    const int nids[] = {RandomUser(random), -1};
    if (!form.ShowRec(tables, nids, 2, 1, 0)) state.SkipWithError("show");
  }
}
BENCHMARK(BM_Form_ShowRecord)->Unit(benchmark::kMicrosecond);

void BM_Sqlite_OneRecord(benchmark::State& state) {
  std::mt19937 random(7);
  for (auto _ : state) {
    PlainRead(
        "select CCODE, CNAME, NSTAT, CPWDRULE, NPWDDAYS, DMODIPWD, CLGNIP, CLGNMAC, NTRYLGN, "
        "DTRYLGNTM, DCRTE, DMODI from UUSR where NID = ?",
        RandomUser(random));
  }
}
BENCHMARK(BM_Sqlite_OneRecord)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  hrztest::App();
  benchmark::Initialize(&argc, argv);

  Store store;
  store.path = store.dir.File("large.db");
  hrzbench::LargeOrgSize size;
  if (const char* users = std::getenv("HRZ_BENCH_USERS")) size.users = std::atoi(users);
  std::string error;
  int status = 0;
  char reason[256] = {};
  bool ready = hrzbench::CreateLargeOrg(store.path, kAdminPassword, size, &store.counts, &error);
  if (ready) store.db = XCliDB_Open(store.path.c_str(), reason, sizeof reason);
  ready =
      ready && store.db != nullptr &&
      XCliDB_Logon(store.db, "adm", kAdminPassword, 260101, &status, nullptr, 0) &&
      sqlite3_open_v2(store.path.c_str(), &store.raw, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  if (ready) {
    benchmark::AddCustomContext("departments", std::to_string(store.counts.departments));
    benchmark::AddCustomContext("users", std::to_string(store.counts.users));
    benchmark::AddCustomContext("links", std::to_string(store.counts.links));
    g_store = &store;
    benchmark::RunSpecifiedBenchmarks();
  } else {
    fprintf(stderr, "cannot prepare the store: %s%s\n", error.c_str(), reason);
  }
  benchmark::Shutdown();
  if (store.db != nullptr) XCliDB_Close(store.db);
  sqlite3_close(store.raw);
  return ready ? 0 : 1;
}
