// The database client against the engine: one small query in process and over TCP, the
// cost of a logon (one Argon2id hash), a logon through login lists of 100 entries on every
// level beside one without lists, and a query's time while another client keeps logging on,
// which shows whether hashing holds up other sessions.
#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "hrzcommon/login_lists.h"
#include "served_store.h"

namespace {

using hrzbench::LoggedOn;

hrzbench::ServedStore& Store() {
  static hrzbench::ServedStore served;
  return served;
}

void ReadOneRow(benchmark::State& state, tagXCliDB* db) {
  for (auto _ : state) {
    XCliGenRS rs(db);
    rs.Open(1, "select CCODE, CNAME, NSTAT from UUSR where NID = 308");
    char text[128];
    rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text);
    benchmark::DoNotOptimize(text);
  }
}

void BM_QueryEmbedded(benchmark::State& state) {
  tagXCliDB* db = LoggedOn(Store().path());
  ReadOneRow(state, db);
  XCliDB_Close(db);
}
BENCHMARK(BM_QueryEmbedded);

void BM_QueryTcp(benchmark::State& state) {
  tagXCliDB* db = LoggedOn(Store().tcp());
  ReadOneRow(state, db);
  XCliDB_Close(db);
}
BENCHMARK(BM_QueryTcp);

void BM_LogonTcp(benchmark::State& state) {
  char error[256];
  tagXCliDB* db = XCliDB_Open(Store().tcp().c_str(), error, sizeof error);
  int status = 0;
  for (auto _ : state) XCliDB_Logon(db, "adm", hrzbench::kServedPassword, 1, &status, nullptr, 0);
  XCliDB_Close(db);
}
BENCHMARK(BM_LogonTcp)->Unit(benchmark::kMillisecond);

// bob's login lists and those of the departments above him (MECH, ENG, ORG); grace's stay
// empty.
void SetLoginLists(const std::string& path, const std::string& ips, const std::string& machines) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
  const std::string sql = "update UUSR set CLGNIP = '" + ips + "', CLGNMAC = '" + machines +
                          "' where CCODE in ('bob', 'MECH', 'ENG', 'ORG')";
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
  sqlite3_close(db);
}

constexpr const char* kBenchMachine = "111111111122222222223333333333";

// Each iteration logs on once through the lists and once without, on the same connection
// kind, so both share the run's conditions; "ratio" is the first over the second.
void BM_LogonTcpThroughLoginLists(benchmark::State& state) {
  // 100 entries in each list, the one that admits the logon last.
  std::string ips, machines;
  for (int i = 0; i < 99; ++i) {
    ips += "10." + std::to_string(i) + ".*.*, ";
    machines += std::to_string(100000000000000000 + i) + "000000000000, ";
  }
  SetLoginLists(Store().path(), ips + "127.0.0.*", machines + kBenchMachine);
  char error[256];
  tagXCliDB* db = XCliDB_Open(Store().tcp().c_str(), error, sizeof error);
  if (db == nullptr || !XCliDB_SetMachineCode(db, kBenchMachine)) std::abort();
  using Clock = std::chrono::steady_clock;
  const auto ms = [](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  };
  Clock::duration listed{}, plain{};
  auto logon = [&](const char* code, const char* password, Clock::duration* total) {
    int status = 0;
    const Clock::time_point start = Clock::now();
    if (!XCliDB_Logon(db, code, password, 1, &status, nullptr, 0)) std::abort();
    *total += Clock::now() - start;
  };
  for (auto _ : state) {
    logon("bob", "bob-pw1", &listed);
    logon("grace", "grace-pw1", &plain);
  }
  XCliDB_Close(db);
  SetLoginLists(Store().path(), "", "");
  // The matching alone, as the server does it for the four levels, against the same logon:
  // the share of a logon the lists take, free of the noise of the password hash.
  const std::string ipList = ips + "127.0.0.*", machineList = machines + kBenchMachine;
  constexpr int kMatches = 1000;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kMatches; ++i) {
    for (int level = 0; level < 4; ++level) {
      benchmark::DoNotOptimize(hrz::LoginIpListAllows(ipList, "127.0.0.1"));
      benchmark::DoNotOptimize(hrz::LoginMachineListAllows(machineList, kBenchMachine));
    }
  }
  const double matchMs = ms(Clock::now() - start) / kMatches;
  state.counters["match_ms"] = matchMs;
  state.counters["match_share"] = matchMs / (ms(plain) / static_cast<double>(state.iterations()));
  state.counters["listed_ms"] = benchmark::Counter(ms(listed), benchmark::Counter::kAvgIterations);
  state.counters["plain_ms"] = benchmark::Counter(ms(plain), benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = ms(listed) / ms(plain);
}
BENCHMARK(BM_LogonTcpThroughLoginLists)->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_QueryTcpWhileAnotherClientLogsOn(benchmark::State& state) {
  tagXCliDB* db = LoggedOn(Store().tcp());
  std::atomic<bool> stop{false};
  std::thread other([&] {
    char error[256];
    tagXCliDB* busy = XCliDB_Open(Store().tcp().c_str(), error, sizeof error);
    int status = 0;
    while (!stop) XCliDB_Logon(busy, "bob", "bob-pw1", 1, &status, nullptr, 0);
    XCliDB_Close(busy);
  });
  ReadOneRow(state, db);
  stop = true;
  other.join();
  XCliDB_Close(db);
}
BENCHMARK(BM_QueryTcpWhileAnotherClientLogsOn);

}  // namespace

BENCHMARK_MAIN();
