// Loading a user's privilege rows as the privilege editor does: the departments and roles
// above the user, one where-used level per query, then the two-step privilege read of the
// user and of each of them, through the database client in process with the module's own
// read, and by the editor's grid itself. Beside them the floor: the same reads as plain SQL on
// the same store in the same run.
// The catalogue has 500 entries and every department a 500-mark string; organisations of two
// sizes and users under 2, 5 and 10 departments and roles show what the requests grow with.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "entry/requests.h"
#include "large_org.h"
#include "privileges/usrfngrd.h"
#include "support/qt_app.h"
#include "support/temp_dir.h"
#include "xclidb.h"

namespace {

constexpr const char* kPassword = "bench-pw";
constexpr int kCatalogue = 500;
constexpr int kRootNid = 2;
constexpr int kAncestorCounts[] = {2, 5, 10};

void Exec(sqlite3* db, const std::string& sql) {
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
}

// A 500-mark string and its grantors (the administrator), the same for every node.
std::string MarksLiteral() {
  std::string marks;
  for (int i = 0; i < kCatalogue; ++i) marks += "MVXX"[i % 4];
  std::string grantors;
  for (int i = 0; i < kCatalogue; ++i) grantors += "01000000";
  return "'" + marks + "', x'" + grantors + "'";
}

// A store of the given size with the catalogue and strings, and per ancestor count one user
// under that many departments and roles: a role under the root, and a chain of departments
// from the root down, the user at its foot.
struct PrivilegeStore {
  PrivilegeStore(int users, const hrzbench::LargeOrgSize& shape) {
    path = dir.File("store.db");
    hrzbench::LargeOrgSize size = shape;
    size.users = users;
    hrzbench::LargeOrgCounts counts;
    std::string error;
    if (!hrzbench::CreateLargeOrg(path, kPassword, size, &counts, &error)) std::abort();
    records = counts.users + counts.departments + 2;
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
    Exec(db, "begin");
    for (int i = 1; i <= kCatalogue; ++i) {
      const std::string n = std::to_string(i);
      Exec(db, "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR) values(" + n + ", 'F" + n +
                   "', 'Function " + n + "', " + n + ")");
    }
    const std::string marks = MarksLiteral();
    Exec(db, "insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) select NID, " + marks +
                 " from UUSR where CSRC = 'UDEPT'");
    int nid = 900000;
    for (int ancestors : kAncestorCounts) {
      const int role = nid++;
      Exec(db, "insert into UUSR(NID, CCODE, CSRC) values(" + std::to_string(role) + ", 'R" +
                   std::to_string(role) + "', 'UROLE')");
      Exec(db, "insert into UUSRBM(NPID, NCID) values(2, " + std::to_string(role) + ")");
      int parent = kRootNid;
      for (int depth = 0; depth < ancestors - 2; ++depth) {  // the root and the role count too
        const int dept = nid++;
        Exec(db, "insert into UUSR(NID, CCODE, CSRC) values(" + std::to_string(dept) + ", 'C" +
                     std::to_string(dept) + "', 'UDEPT')");
        Exec(db, "insert into UUSRBM(NPID, NCID) values(" + std::to_string(parent) + ", " +
                     std::to_string(dept) + ")");
        parent = dept;
      }
      const int user = nid++;
      const std::string u = std::to_string(user);
      Exec(db, "insert into UUSR(NID, CCODE, CSRC) values(" + u + ", 'P" + u + "', 'UUSRI')");
      Exec(db, "insert into UUSRBM(NPID, NCID) values(" + std::to_string(parent) + ", " + u +
                   "), (" + std::to_string(role) + ", " + u + ")");
      Exec(db, "insert or replace into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) select NID, " + marks +
                   " from UUSR where NID >= " + std::to_string(role));
      userUnder[ancestors] = user;
    }
    Exec(db, "commit");
    sqlite3_close(db);
  }
  hrztest::TempDir dir;
  std::string path;
  int records = 0;
  std::map<int, int> userUnder;  // ancestor count -> the user's NID
};

PrivilegeStore& StoreOfSize(int index) {
  static PrivilegeStore small(1000, hrzbench::LargeOrgSize{0, {5, 10, 20, 40}});
  static PrivilegeStore large(40000, hrzbench::LargeOrgSize{});
  return index == 0 ? small : large;
}

std::string InList(const std::set<int>& nids) {
  std::string list;
  for (int nid : nids) list += (list.empty() ? "" : ", ") + std::to_string(nid);
  return list;
}

std::string LevelQuery(const std::set<int>& level) {
  return "select distinct NPID from UUSRBM where NPID > 0 and NCID in (" + InList(level) + ")";
}

// An in-process connection of the database client logged on as the administrator, reading
// as the module does (its own two-step read); counts the requests it sends.
class EngineClient {
 public:
  explicit EngineClient(const std::string& path) {
    char reason[256] = {};
    db_ = XCliDB_Open(path.c_str(), reason, sizeof reason);
    int status = 0;
    if (db_ == nullptr || !XCliDB_Logon(db_, "adm", kPassword, 1, &status, nullptr, 0)) {
      std::abort();
    }
  }
  ~EngineClient() { XCliDB_Close(db_); }
  tagXCliDB* db() const { return db_; }

  // The departments and roles above nid, all levels up, one query per level.
  std::set<int> Ancestors(int nid) {
    std::set<int> found, level{nid};
    while (!level.empty()) {
      ++requests;
      XCliGenRS rs(db_);
      if (!rs.Open(1, LevelQuery(level).c_str())) std::abort();
      std::set<int> next;
      for (; !rs.IsEOF(); rs.MoveNext()) {
        int parent = 0;
        if (!rs.GetFieldValue(0, XCLI_TYPE_INT32, &parent, 4)) std::abort();
        if (found.insert(parent).second) next.insert(parent);
      }
      level = std::move(next);
    }
    return found;
  }

  // The two-step read of one node's set; the number of marks.
  std::size_t ReadSet(int nid) {
    requests += 2;
    std::string marks;
    std::vector<std::uint32_t> grantors;
    if (!hrz::ReadPrivilegeSet(db_, nullptr, nid, &marks, &grantors)) std::abort();
    return marks.size();
  }

  int requests = 0;

 private:
  tagXCliDB* db_ = nullptr;
};

// The same reads on a plain connection: each level query prepared as a client's would be,
// the privilege rows by key.
class PlainClient {
 public:
  explicit PlainClient(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) std::abort();
    sqlite3_prepare_v2(db_, "select CPVG, BGRANTORS from SRV_PRIVILEGE where NID = ?", -1,
                       &readSet_, nullptr);
  }
  ~PlainClient() {
    sqlite3_finalize(readSet_);
    sqlite3_close(db_);
  }

  std::set<int> Ancestors(int nid) {
    std::set<int> found, level{nid};
    while (!level.empty()) {
      ++statements;
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db_, LevelQuery(level).c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        std::abort();
      }
      std::set<int> next;
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        const int parent = sqlite3_column_int(stmt, 0);
        if (found.insert(parent).second) next.insert(parent);
      }
      sqlite3_finalize(stmt);
      level = std::move(next);
    }
    return found;
  }

  std::size_t ReadSet(int nid) {
    ++statements;
    sqlite3_bind_int(readSet_, 1, nid);
    std::size_t marks = 0;
    if (sqlite3_step(readSet_) == SQLITE_ROW) {
      marks = static_cast<std::size_t>(sqlite3_column_bytes(readSet_, 0));
      benchmark::DoNotOptimize(sqlite3_column_blob(readSet_, 1));
    }
    sqlite3_reset(readSet_);
    return marks;
  }

  int statements = 0;

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* readSet_ = nullptr;
};

// One load: the user's own set and the sets of every department and role above it.
template <typename Client>
std::size_t LoadRows(Client& client, int user) {
  std::size_t marks = client.ReadSet(user);
  for (int nid : client.Ancestors(user)) marks += client.ReadSet(nid);
  return marks;
}

// Runs loads; counted is the client's count of requests (or statements), named name.
template <typename Client>
void RunLoads(benchmark::State& state, Client& client, const int& counted, const char* name) {
  PrivilegeStore& store = StoreOfSize(static_cast<int>(state.range(0)));
  const int ancestors = static_cast<int>(state.range(1));
  const int user = store.userUnder.at(ancestors);
  const std::size_t expected = static_cast<std::size_t>(kCatalogue) * (ancestors + 1);
  const int before = counted;
  for (auto _ : state) {
    if (LoadRows(client, user) != expected) state.SkipWithError("a set is missing");
  }
  state.counters[name] = static_cast<double>(counted - before) / state.iterations();
  state.counters["ancestors"] = ancestors;
  state.counters["records"] = store.records;
}

void BM_LoadThroughEngine(benchmark::State& state) {
  EngineClient client(StoreOfSize(static_cast<int>(state.range(0))).path);
  RunLoads(state, client, client.requests, "requests");
}

void BM_LoadPlain(benchmark::State& state) {
  PlainClient client(StoreOfSize(static_cast<int>(state.range(0))).path);
  RunLoads(state, client, client.statements, "statements");
}

// The editor's own load of the same user into its grid of the catalogue: the marks and
// grantors of the user, the departments and roles above it through the where-used tree, and
// their marks as the inherited ones.
void BM_LoadInEditor(benchmark::State& state) {
  hrztest::App();
  PrivilegeStore& store = StoreOfSize(static_cast<int>(state.range(0)));
  const int ancestors = static_cast<int>(state.range(1));
  EngineClient client(store.path);
  hrz::XFuncPvgGrid grid;
  grid.SetDB(client.db());
  if (!grid.LoadCatalogue(nullptr, "UUSRFN.CCAT, UUSRFN.NID") || grid.GetRows() != kCatalogue + 1) {
    state.SkipWithError("the catalogue is missing");
    return;
  }
  const int user = store.userUnder.at(ancestors);
  for (auto _ : state) {
    // Each load comes from an empty grid, as after another node, so that every cell is
    // written as a first load writes it.
    state.PauseTiming();
    grid.LoadNode(-1);
    state.ResumeTiming();
    if (!grid.LoadNode(user)) state.SkipWithError("the user's set is missing");
  }
  // Every modify mark of the user is its own and also inherited: each ancestor has them too.
  if (grid.GetItemString(1, grid.ModifyCol()) != "TT") state.SkipWithError("marks are missing");
  state.counters["ancestors"] = ancestors;
  state.counters["records"] = store.records;
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int size : {0, 1}) {
    for (int ancestors : kAncestorCounts) b->Args({size, ancestors});
  }
  b->ArgNames({"org", "ancestors"})->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_LoadThroughEngine)->Apply(Sizes);
BENCHMARK(BM_LoadInEditor)->Apply(Sizes);
BENCHMARK(BM_LoadPlain)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
