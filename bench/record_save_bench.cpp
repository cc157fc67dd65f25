// Saving one changed field of a user over TCP (plain TCP, no TLS), as the record pane sends
// it: the name and the modification date in one record save message. Its floor, measured
// in the same iterations so that both see the same machine: one small request and its
// reply over the same connection (the server time), plus the same change committed alone
// by SQLite on the same store (one UPDATE in its own transaction, synchronous FULL).
// Counters: each part in microseconds and the ratio of the save to its floor.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "hrzserver/engine.h"
#include "hrzserver/tcp_server.h"
#include "support/client_request.h"
#include "support/save_message.h"
#include "support/temp_dir.h"
#include "xclidb.h"

namespace {

namespace p = hrz::protocol;
using Clock = std::chrono::steady_clock;

constexpr const char* kPassword = "bench-pw";
constexpr int kBob = 309;

struct Served {
  Served() {
    path = dir.File("store.db");
    char error[256];
    if (!XCliDB_CreateStore(path.c_str(), kPassword, 1, error, sizeof error)) std::abort();
    std::string reason;
    engine = hrzsrv::Engine::Open(path, nullptr, &reason);
    // Plain TCP on loopback, as db_bench: what TLS adds is measured by channel_bench.
    hrzsrv::ServerOptions options;
    options.plain = true;
    server = hrzsrv::TcpServer::Start(*engine, options, &reason);
    if (!server) std::abort();
    tcp = "tcp+plain://127.0.0.1:" + std::to_string(server->port());
  }
  ~Served() { server->Stop(); }
  hrztest::TempDir dir;
  std::string path, tcp;
  std::unique_ptr<hrzsrv::Engine> engine;
  std::unique_ptr<hrzsrv::TcpServer> server;
};

std::string DateNumber(int i) {
  return "20260301." + std::to_string(100000 + i % 100000);
}

void SaveName(tagXCliDB* db, int i) {
  const hrztest::SaveBytes body = hrztest::SaveBody(
      hrztest::UpdateOf(kBob), {hrztest::Entry("UUSR.CNAME", "Bob " + std::to_string(i)),
                                hrztest::Entry("UUSR.DMODI", DateNumber(i))});
  if (hrztest::SendRequest(db, p::kRecordSaveLast, body).status != p::kRecordSaved) std::abort();
}

void RoundTrip(tagXCliDB* db) {
  if (hrztest::SendRequest(db, p::kServerTime, {}).status != p::kOk) std::abort();
}

// The same change as the save, straight into SQLite: prepared once, like the engine's
// statements would be at best.
class PlainWrite {
 public:
  explicit PlainWrite(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) std::abort();
    sqlite3_busy_timeout(db_, 10000);
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr,
                 nullptr);
    sqlite3_prepare_v2(db_, "UPDATE UUSR SET CNAME = ?, DMODI = ? WHERE NID = ?", -1, &update_,
                       nullptr);
  }
  ~PlainWrite() {
    sqlite3_finalize(update_);
    sqlite3_close(db_);
  }
  void Run(int i) {
    // A name the row does not hold yet, as in the save, so that each commit changes it.
    const std::string name = "Robert " + std::to_string(i);
    sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_bind_text(update_, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(update_, 2, std::stod(DateNumber(i)));
    sqlite3_bind_int(update_, 3, kBob);
    if (sqlite3_step(update_) != SQLITE_DONE) std::abort();
    sqlite3_reset(update_);
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
};

Served& Store() {
  static Served served;
  return served;
}

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

void BM_SaveOneFieldTcp(benchmark::State& state) {
  Served& served = Store();
  char error[256];
  tagXCliDB* db = XCliDB_Open(served.tcp.c_str(), error, sizeof error);
  int status = 0;
  if (db == nullptr || !XCliDB_Logon(db, "adm", kPassword, 1, &status, nullptr, 0)) std::abort();
  PlainWrite plain(served.path);
  double save = 0, trip = 0, write = 0;
  int i = 0;
  for (auto _ : state) {
    ++i;
    const Clock::time_point start = Clock::now();
    SaveName(db, i);
    const Clock::time_point saved = Clock::now();
    RoundTrip(db);
    const Clock::time_point answered = Clock::now();
    plain.Run(i);
    const Clock::time_point written = Clock::now();
    save += Seconds(start, saved);
    trip += Seconds(saved, answered);
    write += Seconds(answered, written);
    state.SetIterationTime(Seconds(start, saved));
  }
  XCliDB_Close(db);
  const double n = static_cast<double>(state.iterations());
  state.counters["save_us"] = save / n * 1e6;
  state.counters["round_trip_us"] = trip / n * 1e6;
  state.counters["sqlite_tx_us"] = write / n * 1e6;
  state.counters["ratio_to_floor"] = save / (trip + write);
}
BENCHMARK(BM_SaveOneFieldTcp)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
