// Deleting a department that is not empty, in an organisation of 100,000 users: the delete
// node request as the module sends it over plain TCP, answered "not empty" (12) in one
// exchange, for a department holding 1,000 users and one holding 10. Its floor, measured in
// the same iterations so that both see the same machine: one small request and its reply
// over the same connection (the server time), plus the same emptiness check run plainly
// with SQLite on the same store inside a write transaction (as the request checks, so that
// nothing is attached between the check and a delete). The client reads none of the users.
// Counters: each part in microseconds and the ratio of the request to its floor.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "entry/requests.h"
#include "large_org.h"
#include "served_store.h"
#include "support/client_request.h"

namespace {

namespace p = hrz::protocol;
using Clock = std::chrono::steady_clock;

// Two departments under the root, far above the generated NIDs, holding users of their own.
constexpr int kLargeDepartment = 900000;
constexpr int kSmallDepartment = 910000;

// Adds under the root a department numbered nid holding users users of its own.
void AddDepartment(sqlite3* db, int nid, int users) {
  const std::string code = "FULL" + std::to_string(nid);
  std::string sql = "insert into UUSR(NID, CCODE, CSRC) values(" + std::to_string(nid) + ", '" +
                    code + "', 'UDEPT'); insert into UUSRBM(NPID, NCID, CVWA) values(2, " +
                    std::to_string(nid) + ", 'T');";
  for (int i = 1; i <= users; ++i) {
    const std::string user = std::to_string(nid + i);
    sql += "insert into UUSR(NID, CCODE, CSRC) values(" + user + ", 'U" + user +
           "', 'UUSRI'); insert into UUSRBM(NPID, NCID, CVWA) values(" + std::to_string(nid) +
           ", " + user + ", 'T');";
  }
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
}

// The large organisation with the two departments, filled straight with SQLite.
bool FillLargeOrganisation(const std::string& path) {
  hrzbench::LargeOrgCounts counts;
  std::string reason;
  if (!hrzbench::CreateLargeOrg(path, hrzbench::kServedPassword, hrzbench::LargeOrgSize{}, &counts,
                                &reason)) {
    return false;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
  AddDepartment(db, kLargeDepartment, 1000);
  AddDepartment(db, kSmallDepartment, 10);
  const bool committed = sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return committed;
}

hrzbench::ServedStore& Store() {
  static hrzbench::ServedStore served(FillLargeOrganisation);
  return served;
}

// The check the request makes, straight into SQLite under the write lock, prepared once.
class PlainCheck {
 public:
  explicit PlainCheck(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) std::abort();
    sqlite3_busy_timeout(db_, 10000);
    sqlite3_prepare_v2(db_, "SELECT 1 FROM UUSRBM WHERE NPID = ? LIMIT 1", -1, &check_, nullptr);
  }
  ~PlainCheck() {
    sqlite3_finalize(check_);
    sqlite3_close(db_);
  }
  void Run(int department) {
    sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_bind_int(check_, 1, department);
    if (sqlite3_step(check_) != SQLITE_ROW) std::abort();
    sqlite3_reset(check_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* check_ = nullptr;
};

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

void BM_DeleteNonEmptyDepartmentTcp(benchmark::State& state) {
  const int department = static_cast<int>(state.range(0));
  tagXCliDB* db = hrzbench::LoggedOn(Store().tcp());
  PlainCheck plain(Store().path());
  double request = 0, trip = 0, check = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    if (hrz::DeleteNodeRequest(db, department) != hrz::DeleteNodeOutcome::kNotEmpty) {
      std::abort();
    }
    const Clock::time_point refused = Clock::now();
    if (hrztest::SendRequest(db, p::kServerTime, {}).status != p::kOk) std::abort();
    const Clock::time_point answered = Clock::now();
    plain.Run(department);
    const Clock::time_point checked = Clock::now();
    request += Seconds(start, refused);
    trip += Seconds(refused, answered);
    check += Seconds(answered, checked);
    state.SetIterationTime(Seconds(start, refused));
  }
  XCliDB_Close(db);
  const double n = static_cast<double>(state.iterations());
  state.counters["request_us"] = request / n * 1e6;
  state.counters["round_trip_us"] = trip / n * 1e6;
  state.counters["sqlite_check_us"] = check / n * 1e6;
  state.counters["ratio_to_floor"] = request / (trip + check);
}
BENCHMARK(BM_DeleteNonEmptyDepartmentTcp)
    ->ArgName("department")
    ->Arg(kLargeDepartment)
    ->Arg(kSmallDepartment)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
