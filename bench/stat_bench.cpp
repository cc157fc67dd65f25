// The statistics window's listing over plain TCP in an organisation of 100,000 users: the
// worker's reads for one department's subtree (its level walk and the users' grid rows; a
// department of about a thousand users and one of over ten thousand) and the rows appended
// to the statistics grid. Its floor, measured in the same iterations: the
// same statements run alone straight on SQLite, plus one small request and its reply over the
// same connection per statement. The statements are those the worker really sends, kept by a
// proxy during one listing before the measurements.
//
// A second measurement stops a worker that lists the whole organisation shortly after it
// started, as Close does: the time until Close may return, beside the 100 ms poll interval.
//
//   stat_bench                   HRZ_BENCH_USERS=20000 for a smaller organisation
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "hrzcommon/protocol.h"
#include "large_org.h"
#include "plain_read.h"
#include "sent_sql.h"
#include "served_store.h"
#include "stats/stat_worker.h"
#include "stats/usrstatgrd.h"
#include "support/client_request.h"
#include "support/proxy_server.h"
#include "support/qt_app.h"

namespace {

namespace p = hrz::protocol;
using Clock = std::chrono::steady_clock;

constexpr int kRootNid = 2;
constexpr int kPollMs = 100;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

hrzbench::ServedStore& Store() {
  static hrzbench::ServedStore served([](const std::string& path) {
    hrzbench::LargeOrgSize size;
    if (const char* users = std::getenv("HRZ_BENCH_USERS")) size.users = std::atoi(users);
    hrzbench::LargeOrgCounts counts;
    std::string error;
    return hrzbench::CreateLargeOrg(path, hrzbench::kServedPassword, size, &counts, &error);
  });
  return served;
}

// The department at depth level below the root whose subtree holds the most user places:
// about a thousand of 100,000 users at the third level, over ten thousand at the first.
int ChosenDepartment(sqlite3* raw, int level) {
  std::string atLevel = "select NCID from UUSRBM where NPID = " + std::to_string(kRootNid);
  for (int depth = 1; depth < level; ++depth) {
    atLevel = "select NCID from UUSRBM where NPID in (" + atLevel + ")";
  }
  const std::string sql =
      "with recursive below(top, nid) as (select NID, NID from UUSR where NID in (" + atLevel +
      ") and CSRC = 'UDEPT' union all select below.top, UUSRBM.NCID from below join UUSRBM on "
      "UUSRBM.NPID = below.nid) select below.top from below join UUSR on UUSR.NID = below.nid "
      "where UUSR.CSRC = 'UUSRI' group by below.top order by count(*) desc limit 1";
  sqlite3_stmt* stmt = nullptr;
  int nid = -1;
  if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW) {
    nid = sqlite3_column_int(stmt, 0);
  }
  sqlite3_finalize(stmt);
  return nid;
}

// The statements one listing of nid sends, read through a proxy on the same store.
std::vector<std::string> CaptureStatements(const hrz::CUserStatGrid& grid, int nid) {
  std::string error;
  auto engine = hrzsrv::Engine::Open(Store().path(), nullptr, &error);
  if (!engine) std::abort();
  hrztest::ProxyServer proxy(*engine, [](const hrztest::Frame&) { return std::nullopt; });
  tagXCliDB* db = hrzbench::LoggedOn(proxy.location());
  const std::size_t before = proxy.Received().size();
  const std::atomic<int> go{0};
  hrz::StatRows rows;
  if (!hrz::ReadStatRows(db, grid.MakeQuery(), nid, "UDEPT", go, &rows)) std::abort();
  const std::vector<hrztest::Frame> frames = proxy.Received();
  std::vector<std::string> statements = hrzbench::QueriesIn(frames, before, frames.size());
  XCliDB_Close(db);
  return statements;
}

void BM_ListDepartmentTcp(benchmark::State& state) {
  hrztest::App();
  sqlite3* raw = nullptr;
  if (sqlite3_open(Store().path().c_str(), &raw) != SQLITE_OK) std::abort();
  const int nid = ChosenDepartment(raw, static_cast<int>(state.range(0)));
  hrz::CUserStatGrid grid;
  if (nid < 1 || !grid.InitCtrls("User Stat Result")) std::abort();
  const std::vector<std::string> statements = CaptureStatements(grid, nid);
  tagXCliDB* db = hrzbench::LoggedOn(Store().tcp());
  const XPrdFindGrid::Query query = grid.MakeQuery();
  const std::atomic<int> go{0};
  double list = 0, sqlite = 0, trips = 0;
  std::size_t listed = 0;
  for (auto _ : state) {
    grid.SetRows(1, FALSE);
    const Clock::time_point start = Clock::now();
    hrz::StatRows rows;
    if (!hrz::ReadStatRows(db, query, nid, "UDEPT", go, &rows)) std::abort();
    listed = static_cast<std::size_t>(grid.AppendFoundRows(std::move(rows)));
    const Clock::time_point filled = Clock::now();
    for (const std::string& sql : statements) {
      if (hrzbench::PlainRead(raw, sql.c_str()) < 0) std::abort();
    }
    const Clock::time_point read = Clock::now();
    for (std::size_t i = 0; i < statements.size(); ++i) {
      if (hrztest::SendRequest(db, p::kServerTime, {}).status != p::kOk) std::abort();
    }
    const Clock::time_point answered = Clock::now();
    list += Seconds(start, filled);
    sqlite += Seconds(filled, read);
    trips += Seconds(read, answered);
    state.SetIterationTime(Seconds(start, filled));
  }
  XCliDB_Close(db);
  sqlite3_close(raw);
  const double n = static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(listed);
  state.counters["statements"] = static_cast<double>(statements.size());
  state.counters["list_ms"] = list / n * 1e3;
  state.counters["sqlite_ms"] = sqlite / n * 1e3;
  state.counters["round_trips_ms"] = trips / n * 1e3;
  state.counters["ratio_to_floor"] = list / (sqlite + trips);
}
// The department's depth: 3 (about a thousand users) and 1 (over ten thousand).
BENCHMARK(BM_ListDepartmentTcp)->Arg(3)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A worker listing the whole organisation, stopped 20 ms after its start.
void BM_StopDuringWholeListing(benchmark::State& state) {
  hrztest::App();
  hrz::CUserStatGrid grid;
  if (!grid.InitCtrls("User Stat Result")) std::abort();
  tagXCliDB* db = hrzbench::LoggedOn(Store().tcp());
  CWnd nowhere;  // the rows of a stopped worker are never posted
  double stop = 0;
  for (auto _ : state) {
    hrz::StatListing listing;
    listing.Start(nullptr, db, grid.MakeQuery(), kRootNid, "UDEPT", &nowhere, WM_USER);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const Clock::time_point start = Clock::now();
    listing.Stop(nullptr);
    const Clock::time_point stopped = Clock::now();
    stop += Seconds(start, stopped);
    state.SetIterationTime(Seconds(start, stopped));
  }
  XCliDB_Close(db);
  const double n = static_cast<double>(state.iterations());
  state.counters["stop_ms"] = stop / n * 1e3;
  state.counters["poll_ms"] = kPollMs;
  state.counters["ratio_to_poll"] = stop / n * 1e3 / kPollMs;
  state.counters["stopped"] = hrz::StatWorkers().stopped.load();
}
BENCHMARK(BM_StopDuringWholeListing)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
