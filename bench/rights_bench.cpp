// What the server's rights checks cost a client SQL write: a user's write of its own row and
// the administrator's write of every row of a large organisation, each through the engine in
// process (statement and row checks, its own transaction) beside the same statement run
// plainly on the same store with SQLite, in the same run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "large_org.h"
#include "served_store.h"

namespace {

constexpr const char* kPassword = "bench-pw";

struct Stores {
  Stores() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rightsbench-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    sample = dir + "/sample.db";
    large = dir + "/large.db";
    char error[256];
    if (!XCliDB_CreateStore(sample.c_str(), kPassword, 1, error, sizeof error)) std::abort();
    hrzbench::LargeOrgSize size;
    size.users = 20000;
    hrzbench::LargeOrgCounts counts;
    std::string reason;
    if (!hrzbench::CreateLargeOrg(large, kPassword, size, &counts, &reason)) std::abort();
    rows = counts.users + counts.departments + 2;
  }
  ~Stores() { std::filesystem::remove_all(dir); }
  std::string dir, sample, large;
  int rows = 0;
};

Stores& TheStores() {
  static Stores stores;
  return stores;
}

using hrzbench::LoggedOn;

sqlite3* Plain(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
  sqlite3_busy_timeout(db, 10000);
  return db;
}

std::string OwnRowWrite(int i) {
  return "update UUSR set FDWGX = " + std::to_string(i) + " where NID = 309";
}

std::string EveryRowWrite(int i) {
  return "update UUSR set NPWDDAYS = " + std::to_string(i % 1000);
}

void BM_OwnRowWriteChecked(benchmark::State& state) {
  tagXCliDB* db = LoggedOn(TheStores().sample, "bob", "bob-pw1");
  int i = 0;
  for (auto _ : state) {
    if (!XCliDB_ExecuteSQL(db, OwnRowWrite(++i).c_str(), 0, 0)) state.SkipWithError("refused");
  }
  XCliDB_Close(db);
}
BENCHMARK(BM_OwnRowWriteChecked);

void BM_OwnRowWritePlain(benchmark::State& state) {
  sqlite3* db = Plain(TheStores().sample);
  int i = 0;
  for (auto _ : state) sqlite3_exec(db, OwnRowWrite(++i).c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}
BENCHMARK(BM_OwnRowWritePlain);

void BM_EveryRowWriteChecked(benchmark::State& state) {
  tagXCliDB* db = LoggedOn(TheStores().large, "adm", kPassword);
  int i = 0;
  for (auto _ : state) {
    if (!XCliDB_ExecuteSQL(db, EveryRowWrite(++i).c_str(), 0, 0)) state.SkipWithError("refused");
  }
  state.SetItemsProcessed(state.iterations() * TheStores().rows);
  XCliDB_Close(db);
}
BENCHMARK(BM_EveryRowWriteChecked)->Unit(benchmark::kMillisecond);

void BM_EveryRowWritePlain(benchmark::State& state) {
  sqlite3* db = Plain(TheStores().large);
  int i = 0;
  for (auto _ : state) sqlite3_exec(db, EveryRowWrite(++i).c_str(), nullptr, nullptr, nullptr);
  state.SetItemsProcessed(state.iterations() * TheStores().rows);
  sqlite3_close(db);
}
BENCHMARK(BM_EveryRowWritePlain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
