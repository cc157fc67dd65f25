// A primary-key lookup of one user through the engine's store connection on PostgreSQL
// (OpenPgStoreDb: its statement text translated and prepared once, values bound, cells read)
// beside its floor, measured in the same iterations on the same database of a throw-away
// cluster: the same statement prepared once with libpq and run with PQexecPrepared.
// Counters: each part in microseconds and the ratio of the store's lookup to its floor.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"
#include "pg_store_db.h"
#include "support/pg_cluster.h"
#include "support/stores.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kLookup = "SELECT NID, CCODE, CNAME, NSTAT FROM UUSR WHERE NID = ?";
constexpr int kUsers = 10000;
constexpr int kFirstUser = 301;

// A store of kUsers users on a new database; its location.
std::string MakeStore() {
  std::string why;
  bool installed = false;
  hrztest::PgCluster* cluster = hrztest::PgCluster::Shared(&why, &installed);
  if (cluster == nullptr) {
    std::fprintf(stderr, "no PostgreSQL cluster: %s\n", why.c_str());
    std::abort();
  }
  static hrztest::TempDir dir;
  const std::string source = dir.File("init.db"), location = cluster->NewDatabase();
  if (!hrztest::CreateBareStore(source, &why) ||
      !hrzsrv::MigrateToPostgres(source, location, {}, &why)) {
    std::fprintf(stderr, "cannot make the store: %s\n", why.c_str());
    std::abort();
  }
  std::unique_ptr<hrzsrv::pg::Connection> admin = hrzsrv::pg::Connection::Open(location, &why);
  if (!admin || !admin
                     ->Exec("INSERT INTO UUSR(CCODE, CNAME, CSRC) SELECT 'user' || g, "
                            "'User ' || g, 'UUSER' FROM generate_series(1, " +
                            std::to_string(kUsers) + ") g")
                     .ok()) {
    std::abort();
  }
  return location;
}

const std::string& Location() {
  static const std::string location = MakeStore();
  return location;
}

// The floor: libpq alone, the statement prepared once, the cells read as text.
class PlainLookup {
 public:
  PlainLookup() {
    std::string conninfo = Location();
    conn_ = PQconnectdb(conninfo.c_str());
    if (PQstatus(conn_) != CONNECTION_OK) std::abort();
    PGresult* prepared = PQprepare(
        conn_, "lookup", "SELECT NID, CCODE, CNAME, NSTAT FROM UUSR WHERE NID = $1", 1, nullptr);
    if (PQresultStatus(prepared) != PGRES_COMMAND_OK) std::abort();
    PQclear(prepared);
  }
  ~PlainLookup() { PQfinish(conn_); }
  std::int64_t Run(std::int64_t nid) {
    const std::string value = std::to_string(nid);
    const char* values[] = {value.c_str()};
    PGresult* result = PQexecPrepared(conn_, "lookup", 1, values, nullptr, nullptr, 0);
    if (PQresultStatus(result) != PGRES_TUPLES_OK || PQntuples(result) != 1) std::abort();
    const std::int64_t found = std::strtoll(PQgetvalue(result, 0, 0), nullptr, 10);
    benchmark::DoNotOptimize(std::string(PQgetvalue(result, 0, 1)));
    benchmark::DoNotOptimize(std::string(PQgetvalue(result, 0, 2)));
    benchmark::DoNotOptimize(std::strtoll(PQgetvalue(result, 0, 3), nullptr, 10));
    PQclear(result);
    return found;
  }

 private:
  PGconn* conn_ = nullptr;
};

std::int64_t StoreLookup(hrzsrv::StoreDb& db, std::int64_t nid) {
  std::unique_ptr<hrzsrv::StoreStatement> lookup = db.Prepare(kLookup);
  if (!lookup) std::abort();
  lookup->BindInt(1, nid);
  if (!lookup->Step()) std::abort();
  const std::int64_t found = lookup->Int(0);
  benchmark::DoNotOptimize(lookup->Text(1));
  benchmark::DoNotOptimize(lookup->Text(2));
  benchmark::DoNotOptimize(lookup->Int(3));
  return found;
}

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

void BM_PgStoreLookup(benchmark::State& state) {
  std::string error;
  std::unique_ptr<hrzsrv::StoreDb> db = hrzsrv::OpenPgStoreDb(Location(), &error);
  if (!db) std::abort();
  PlainLookup plain;
  double store = 0, floor = 0;
  std::int64_t nid = kFirstUser;
  for (auto _ : state) {
    nid = nid + 1 < kFirstUser + kUsers ? nid + 1 : kFirstUser;
    const Clock::time_point start = Clock::now();
    if (StoreLookup(*db, nid) != nid) std::abort();
    const Clock::time_point looked = Clock::now();
    if (plain.Run(nid) != nid) std::abort();
    const Clock::time_point plainly = Clock::now();
    store += Seconds(start, looked);
    floor += Seconds(looked, plainly);
    state.SetIterationTime(Seconds(start, looked));
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["store_us"] = store / n * 1e6;
  state.counters["libpq_us"] = floor / n * 1e6;
  state.counters["ratio_to_floor"] = store / floor;
}
BENCHMARK(BM_PgStoreLookup)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
