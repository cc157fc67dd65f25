// The data-bound widgets over a generated organisation, each beside a plain SQLite read of
// the same rows so that the widgets' overhead shows as a ratio.
//
//   widgets_bench [--benchmark_filter=...]    HRZ_BENCH_USERS=20000 for a smaller run
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "large_org.h"
#include "plain_read.h"
#include "served_store.h"
#include "support/qt_app.h"
#include "xbomtree.h"
#include "xclidb.h"
#include "xfindgrid.h"
#include "xrecobjctrl.h"

namespace {

struct Store {
  std::unique_ptr<hrzbench::ServedStore> served;
  tagXCliDB* db = nullptr;   // embedded
  tagXCliDB* tcp = nullptr;  // over plain TCP to the same store
  sqlite3* raw = nullptr;
  hrzbench::LargeOrgCounts counts;
  int rootNid = 0;
  int topDepartment = 0;   // the first department under the root
  int leafDepartment = 0;  // the first department with no department below it
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
//
// Each load is timed beside its floor in the same iterations: both tables scanned in one
// read transaction, joined in memory and a lazy model's nodes filled, plainly on SQLite.
// Times include tearing the tree down. Peaks, the resident memory's growth, come from one
// more run of each after the timed ones: returning freed memory to the system before each
// run would slow the timed runs with page faults.

using Clock = std::chrono::steady_clock;

template <typename Work>
double Seconds(Work&& work) {
  const Clock::time_point start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

template <typename Work>
long long Peak(Work&& work) {
  const long long base = hrzbench::ResetPeak();
  work();
  return hrzbench::PeakSince(base);
}

// A plain way of filling the same nodes, timed in the same iterations as the tree.
struct Floor {
  const char* name;
  std::function<long long(hrzbench::PlainTree*)> fill;
  double seconds = 0;
  long long nodes = 0;
};

Floor Scans() {
  return {"floor", [](hrzbench::PlainTree* tree) {
            return hrzbench::PlainLoadOrganisation(g_store->raw, tree);
          }};
}

Floor SubtreeReads(const char* name, int nid) {
  return {name, [nid](hrzbench::PlainTree* tree) {
            return hrzbench::PlainLoadSubtree(g_store->raw, nid, tree);
          }};
}

// Runs load (which fills a tree and gives its nodes and queries) beside each floor and
// reports them with their ratios; the first floor also gets the peak memory's ratio.
template <typename Load>
void TreeBesideFloors(benchmark::State& state, Load&& load, std::vector<Floor> floors) {
  double tree = 0;
  int nodes = 0;
  long long queries = 0;
  for (auto _ : state) {
    const double took = Seconds([&] { load(&nodes, &queries); });
    for (Floor& floor : floors) {
      floor.seconds += Seconds([&] {
        hrzbench::PlainTree filled;
        floor.nodes = floor.fill(&filled);
      });
    }
    tree += took;
    state.SetIterationTime(took);
  }
  for (const Floor& floor : floors) {
    if (floor.nodes != nodes) state.SkipWithError("a floor filled another number of nodes");
  }
  const long long treePeak = Peak([&] { load(&nodes, &queries); });
  const long long floorPeak = Peak([&] {
    hrzbench::PlainTree filled;
    floors.front().fill(&filled);
  });
  const double iterations = static_cast<double>(state.iterations());
  state.counters["nodes"] = nodes;
  state.counters["queries"] = static_cast<double>(queries);
  for (const Floor& floor : floors) {
    const std::string name = floor.name;
    state.counters[name + "_ms"] = floor.seconds / iterations * 1e3;
    state.counters["ratio_to_" + name] = tree / floor.seconds;
  }
  state.counters["peak_mb"] = static_cast<double>(treePeak) / (1 << 20);
  state.counters["floor_peak_mb"] = static_cast<double>(floorPeak) / (1 << 20);
  state.counters["peak_ratio"] = static_cast<double>(treePeak) / static_cast<double>(floorPeak);
}

tagXCliDB* Connection(benchmark::State& state) {
  return state.range(0) != 0 ? g_store->tcp : g_store->db;
}

void EmbeddedAndOverTcp(benchmark::internal::Benchmark* bench) {
  bench->ArgName("tcp")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
  bench->Iterations(3);
}

void BM_Tree_ExpandAll(benchmark::State& state) {
  tagXCliDB* db = Connection(state);
  TreeBesideFloors(state,
                   [&](int* nodes, long long* queries) {
                     XBOMTree tree;
                     tree.SetDB(db);
                     if (tree.AddRootNode("UUSR", -1, TRUE) != 0) state.SkipWithError("root");
                     const long long before = tree.QueryCount();
                     if (!tree.ExpandAll(0)) state.SkipWithError("expand");
                     *nodes = tree.GetNodes(-1);
                     *queries = tree.QueryCount() - before;
                   },
                   {Scans()});
}
BENCHMARK(BM_Tree_ExpandAll)->Apply(EmbeddedAndOverTcp);

// The same nodes read level by level: ExpandAll below each department under the root, as
// a window does for the department it shows. Beside the two scans, the same levels read
// plainly on SQLite (plain_levels): the root's subtree a level at a time.
void BM_Tree_ExpandAllBelowEachTopDepartment(benchmark::State& state) {
  tagXCliDB* db = Connection(state);
  TreeBesideFloors(state,
                   [&](int* nodes, long long* queries) {
                     XBOMTree tree;
                     tree.SetDB(db);
                     if (tree.AddRootNode("UUSR", -1, TRUE) != 0 || !tree.Expand(0))
                       state.SkipWithError("root");
                     const long long before = tree.QueryCount();
                     for (int top = tree.GetFirstChildNode(0); top >= 0;
                          top = tree.GetNextNode(top)) {
                       if (!tree.ExpandAll(top)) state.SkipWithError("expand");
                     }
                     *nodes = tree.GetNodes(-1);
                     *queries = tree.QueryCount() - before;
                   },
                   {Scans(), SubtreeReads("plain_levels", g_store->rootNid)});
}
BENCHMARK(BM_Tree_ExpandAllBelowEachTopDepartment)->Apply(EmbeddedAndOverTcp);

// One department in a window of its own, everything below it opened: a top department
// (about a tenth of the organisation) and a department without departments below it, each
// beside its subtree read plainly a level at a time. Time and queries follow the
// department's size, whatever the organisation's.
void BM_Tree_ExpandAllBelowOneDepartment(benchmark::State& state) {
  tagXCliDB* db = state.range(1) != 0 ? g_store->tcp : g_store->db;
  const int nid = state.range(0) != 0 ? g_store->topDepartment : g_store->leafDepartment;
  TreeBesideFloors(state,
                   [&](int* nodes, long long* queries) {
                     XBOMTree tree;
                     tree.SetDB(db);
                     if (tree.AddRootNode("UUSR", nid, TRUE) != 0) state.SkipWithError("root");
                     const long long before = tree.QueryCount();
                     if (!tree.ExpandAll(0)) state.SkipWithError("expand");
                     *nodes = tree.GetNodes(-1);
                     *queries = tree.QueryCount() - before;
                   },
                   {SubtreeReads("plain_levels", nid)});
}
BENCHMARK(BM_Tree_ExpandAllBelowOneDepartment)
    ->ArgNames({"top", "tcp"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

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

constexpr const char* kFirstDepartmentBelow =
    "select NCID from UUSRBM join UUSR on UUSR.NID = NCID where NPID = ? and CSRC = 'UDEPT' "
    "order by UUSRBM.NID";
constexpr const char* kFirstLeafDepartment =
    "select NID from UUSR D where CSRC = 'UDEPT' and not exists(select 1 from UUSRBM join UUSR "
    "on UUSR.NID = NCID where NPID = D.NID and CSRC = 'UDEPT') order by NID";

// The first NID a query gives, 0 when none.
int FirstNid(sqlite3* db, const char* sql, int bindNid = -1) {
  sqlite3_stmt* stmt = nullptr;
  int nid = 0;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
    if (bindNid >= 0) sqlite3_bind_int(stmt, 1, bindNid);
    if (sqlite3_step(stmt) == SQLITE_ROW) nid = sqlite3_column_int(stmt, 0);
  }
  sqlite3_finalize(stmt);
  return nid;
}

}  // namespace

int main(int argc, char** argv) {
  hrztest::App();
  benchmark::Initialize(&argc, argv);

  Store store;
  hrzbench::LargeOrgSize size;
  if (const char* users = std::getenv("HRZ_BENCH_USERS")) size.users = std::atoi(users);
  std::string error;
  store.served = std::make_unique<hrzbench::ServedStore>([&](const std::string& path) {
    const bool made =
        hrzbench::CreateLargeOrg(path, hrzbench::kServedPassword, size, &store.counts, &error);
    if (!made) std::fprintf(stderr, "cannot prepare the store: %s\n", error.c_str());
    return made;
  });
  const std::string& path = store.served->path();
  store.db = hrzbench::LoggedOn(path);
  store.tcp = hrzbench::LoggedOn(store.served->tcp());
  const bool ready =
      sqlite3_open_v2(path.c_str(), &store.raw, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  if (ready) {
    store.rootNid = FirstNid(store.raw, "select NCID from UUSRBM where NPID <= 0 order by NID");
    store.topDepartment = FirstNid(store.raw, kFirstDepartmentBelow, store.rootNid);
    store.leafDepartment = FirstNid(store.raw, kFirstLeafDepartment);
    benchmark::AddCustomContext("departments", std::to_string(store.counts.departments));
    benchmark::AddCustomContext("users", std::to_string(store.counts.users));
    benchmark::AddCustomContext("links", std::to_string(store.counts.links));
    g_store = &store;
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  XCliDB_Close(store.tcp);
  XCliDB_Close(store.db);
  sqlite3_close(store.raw);
  return ready ? 0 : 1;
}
