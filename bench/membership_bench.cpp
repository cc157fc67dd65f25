// Deleting a department that is not empty, in an organisation of 100,000 users: the delete
// node request, sent in process as the module sends it and refused with "not empty" (12),
// beside the floor of the same emptiness check run plainly with SQLite on the same store,
// in the same run, alone and inside the write transaction the request opens (so that
// nothing is attached between the check and a delete). The department holds 1,000 users;
// the client reads none of them.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "entry/requests.h"
#include "large_org.h"
#include "xclidb.h"

namespace {

constexpr const char* kPassword = "bench-pw";
constexpr int kFullDepartment = 900000;
constexpr int kUsersBelow = 1000;

struct Store {
  Store() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "membershipbench-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    path = dir + "/large.db";
    hrzbench::LargeOrgCounts counts;
    std::string reason;
    if (!hrzbench::CreateLargeOrg(path, kPassword, hrzbench::LargeOrgSize{}, &counts, &reason)) {
      std::abort();
    }
    // A department under the root with its own 1,000 users.
    std::string sql = "begin; insert into UUSR(NID, CCODE, CSRC) values(" +
                      std::to_string(kFullDepartment) + ", 'FULL', 'UDEPT');" +
                      "insert into UUSRBM(NPID, NCID, CVWA) values(2, " +
                      std::to_string(kFullDepartment) + ", 'T');";
    for (int i = 1; i <= kUsersBelow; ++i) {
      const std::string nid = std::to_string(kFullDepartment + i);
      sql += "insert into UUSR(NID, CCODE, CSRC) values(" + nid + ", 'FULL" + nid +
             "', 'UUSRI'); insert into UUSRBM(NPID, NCID, CVWA) values(" +
             std::to_string(kFullDepartment) + ", " + nid + ", 'T');";
    }
    sql += "commit;";
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::abort();
    }
    sqlite3_close(db);
  }
  ~Store() { std::filesystem::remove_all(dir); }
  std::string dir, path;
};

Store& TheStore() {
  static Store store;
  return store;
}

void BM_DeleteNonEmptyDepartmentRequest(benchmark::State& state) {
  char error[256];
  tagXCliDB* db = XCliDB_Open(TheStore().path.c_str(), error, sizeof error);
  int status = 0;
  if (db == nullptr || !XCliDB_Logon(db, "adm", kPassword, 1, &status, nullptr, 0)) std::abort();
  for (auto _ : state) {
    if (hrz::DeleteNodeRequest(db, kFullDepartment) != hrz::DeleteNodeOutcome::kNotEmpty) {
      state.SkipWithError("not answered \"not empty\"");
    }
  }
  XCliDB_Close(db);
}
BENCHMARK(BM_DeleteNonEmptyDepartmentRequest)->Unit(benchmark::kMicrosecond);

void BM_EmptinessCheckPlain(benchmark::State& state) {
  sqlite3* db = nullptr;
  if (sqlite3_open(TheStore().path.c_str(), &db) != SQLITE_OK) std::abort();
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(db, "select 1 from UUSRBM where NPID = ? limit 1", -1, &check, nullptr);
  for (auto _ : state) {
    sqlite3_bind_int(check, 1, kFullDepartment);
    if (sqlite3_step(check) != SQLITE_ROW) state.SkipWithError("the department is empty");
    sqlite3_reset(check);
  }
  sqlite3_finalize(check);
  sqlite3_close(db);
}
BENCHMARK(BM_EmptinessCheckPlain)->Unit(benchmark::kMicrosecond);

void BM_EmptinessCheckInWriteTransactionPlain(benchmark::State& state) {
  sqlite3* db = nullptr;
  if (sqlite3_open(TheStore().path.c_str(), &db) != SQLITE_OK) std::abort();
  sqlite3_exec(db, "pragma journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(db, "select 1 from UUSRBM where NPID = ? limit 1", -1, &check, nullptr);
  for (auto _ : state) {
    sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr);
    sqlite3_bind_int(check, 1, kFullDepartment);
    if (sqlite3_step(check) != SQLITE_ROW) state.SkipWithError("the department is empty");
    sqlite3_reset(check);
    sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
  }
  sqlite3_finalize(check);
  sqlite3_close(db);
}
BENCHMARK(BM_EmptinessCheckInWriteTransactionPlain)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
