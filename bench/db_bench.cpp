// The database client against the engine: one small query in process and over TCP, the
// cost of a logon (one Argon2id hash), and a query's time while another client keeps
// logging on, which shows whether hashing holds up other sessions.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "hrzserver/engine.h"
#include "hrzserver/tcp_server.h"
#include "support/temp_dir.h"
#include "xclidb.h"

namespace {

constexpr const char* kPassword = "bench-pw";

// A sample store in a temporary folder, served over TCP as well, for the whole run.
struct Served {
  Served() {
    path = dir.File("store.db");
    char error[256];
    if (!XCliDB_CreateStore(path.c_str(), kPassword, 1, error, sizeof error)) std::abort();
    std::string reason;
    engine = hrzsrv::Engine::Open(path, nullptr, &reason);
    // Plain TCP on loopback: what TLS adds is measured by channel_bench.
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

Served& Store() {
  static Served served;
  return served;
}

tagXCliDB* LoggedOn(const std::string& location) {
  char error[256];
  tagXCliDB* db = XCliDB_Open(location.c_str(), error, sizeof error);
  int status = 0;
  if (db == nullptr || !XCliDB_Logon(db, "adm", kPassword, 1, &status, nullptr, 0)) std::abort();
  return db;
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
  tagXCliDB* db = LoggedOn(Store().path);
  ReadOneRow(state, db);
  XCliDB_Close(db);
}
BENCHMARK(BM_QueryEmbedded);

void BM_QueryTcp(benchmark::State& state) {
  tagXCliDB* db = LoggedOn(Store().tcp);
  ReadOneRow(state, db);
  XCliDB_Close(db);
}
BENCHMARK(BM_QueryTcp);

void BM_LogonTcp(benchmark::State& state) {
  char error[256];
  tagXCliDB* db = XCliDB_Open(Store().tcp.c_str(), error, sizeof error);
  int status = 0;
  for (auto _ : state) XCliDB_Logon(db, "adm", kPassword, 1, &status, nullptr, 0);
  XCliDB_Close(db);
}
BENCHMARK(BM_LogonTcp)->Unit(benchmark::kMillisecond);

void BM_QueryTcpWhileAnotherClientLogsOn(benchmark::State& state) {
  tagXCliDB* db = LoggedOn(Store().tcp);
  std::atomic<bool> stop{false};
  std::thread other([&] {
    char error[256];
    tagXCliDB* busy = XCliDB_Open(Store().tcp.c_str(), error, sizeof error);
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
