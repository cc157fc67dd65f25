// The server core at its floors, in one run on this machine:
//  - small request/reply over plain TCP on loopback at 1 and 50 clients, "select 1" and a
//    primary-key lookup through client SQL, beside redis-benchmark's PING and GET against a
//    redis-server started here on a loopback port and a temporary folder;
//  - a logon storm of 50 clients logging on over and over: its rate against the Argon2id
//    bound (cores / one verify's time, measured here on the store's own hash), and a
//    logged-on client's light request p99 idle against during the storm.
//
//   server_bench [SECONDS_PER_RATE [rate|storm]]    (default 3, both parts)
//
// Needs redis-server and redis-benchmark (Debian packages redis-server, redis-tools).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "server_process.h"
#include "support/temp_dir.h"

namespace {

using hrzbench::ChildProcess;
using hrzbench::Die;
using hrzbench::Quantile;
using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

constexpr const char* kPassword = "bench-pw";
constexpr int kStormClients = 50;
constexpr const char* kLookup = "select CCODE, CNAME, NSTAT from UUSR where NID = 308";

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool Query(tagXCliDB* db, const char* sql) {
  XCliGenRS rs(db);
  char text[128];
  return rs.Open(1, sql) && rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text);
}

double RequestRate(const std::string& location, int clients, double seconds, const char* sql) {
  std::vector<tagXCliDB*> connections;
  for (int c = 0; c < clients; ++c) {
    connections.push_back(hrzbench::LoggedOnTo(location, "adm", kPassword));
  }
  const Clock::time_point start = Clock::now();
  const long answered = hrzbench::CountFor(clients, seconds, [&](int client) {
    return Query(connections[static_cast<std::size_t>(client)], sql);
  });
  const double rate = static_cast<double>(answered) / SecondsSince(start);
  for (tagXCliDB* db : connections) XCliDB_Close(db);
  return rate;
}

// A loopback port that nothing listens on just now.
int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Die("no free port");
  }
  close(s);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(s);
  return ok;
}

// A redis-server on a loopback port, keeping nothing on disk but in its folder.
class Redis {
 public:
  explicit Redis(const std::string& dir)
      : port_(FreePort()),
        process_({"redis-server", "--port", std::to_string(port_), "--bind", "127.0.0.1", "--dir",
                  dir, "--save", "", "--appendonly", "no", "--logfile", dir + "/redis.log"},
                 false) {
    for (int i = 0; i < 200 && !Accepts(port_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!Accepts(port_)) Die("redis-server does not answer");
  }

  // Requests per second of PING (the bulk form) and GET at that many clients, keyed by
  // redis-benchmark's names for them.
  std::map<std::string, double> Rates(int clients, double seconds) const {
    // About seconds long at the rates a loopback round trip allows.
    const long requests = static_cast<long>(seconds * (clients == 1 ? 25000 : 80000));
    ChildProcess run({"redis-benchmark", "-h", "127.0.0.1", "-p", std::to_string(port_), "-c",
                      std::to_string(clients), "-n", std::to_string(requests), "-t", "ping,set,get",
                      "--csv"});
    std::map<std::string, double> rates;
    std::string line;
    while (run.ReadLine(&line)) {
      // "NAME","RPS",...
      if (line.size() < 2 || line[0] != '"') continue;
      const std::size_t nameEnd = line.find('"', 1);
      const std::size_t rpsStart = line.find('"', nameEnd + 1);
      if (nameEnd == std::string::npos || rpsStart == std::string::npos) continue;
      rates[line.substr(1, nameEnd - 1)] = std::atof(line.c_str() + rpsStart + 1);
    }
    if (run.Wait() != 0 || !rates.count("PING_MBULK") || !rates.count("GET")) {
      Die("redis-benchmark gave no rates");
    }
    return rates;
  }

 private:
  int port_;
  ChildProcess process_;
};

// The administrator's stored Argon2id hash.
std::string AdminHash(const std::string& store) {
  sqlite3* db = nullptr;
  sqlite3_stmt* read = nullptr;
  std::string hash;
  if (sqlite3_open(store.c_str(), &db) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "select CHASH from SRV_PASSWORD where NID = 1", -1, &read, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(read) == SQLITE_ROW) {
    hash = reinterpret_cast<const char*>(sqlite3_column_text(read, 0));
  }
  sqlite3_finalize(read);
  sqlite3_close(db);
  if (hash.empty() || sodium_init() < 0) Die("cannot read the administrator's hash");
  return hash;
}

void Verify(const std::string& hash) {
  if (crypto_pwhash_str_verify(hash.c_str(), kPassword, std::strlen(kPassword)) != 0) {
    Die("the administrator's hash does not verify");
  }
}

// Time of one verify on one thread: the median of a few.
double VerifySeconds(const std::string& hash) {
  std::vector<double> times;
  for (int i = 0; i < 7; ++i) {
    const Clock::time_point start = Clock::now();
    Verify(hash);
    times.push_back(SecondsSince(start));
  }
  return hrzbench::Median(times);
}

// Verifies per second with a thread per core verifying plainly for seconds: the bound as
// this machine gives it now, with whatever else runs on it.
double ParallelVerifyRate(const std::string& hash, unsigned cores, double seconds) {
  const Clock::time_point start = Clock::now();
  const long verified = hrzbench::CountFor(static_cast<int>(cores), seconds, [&](int) {
    Verify(hash);
    return true;
  });
  return static_cast<double>(verified) / SecondsSince(start);
}

// Latencies of light requests, one every kLightPace for seconds, in microseconds. Paced as
// a busy user's client would be, not a loop that would itself take a processor.
constexpr std::chrono::milliseconds kLightPace{2};

std::vector<double> LightLatencies(tagXCliDB* db, double seconds) {
  std::vector<double> latencies;
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  for (Clock::time_point next = Clock::now(); next < end; next += kLightPace) {
    std::this_thread::sleep_until(next);
    const Clock::time_point start = Clock::now();
    if (!Query(db, kLookup)) Die("a light request failed");
    latencies.push_back(Micros(Clock::now() - start).count());
  }
  return latencies;
}

void RequestReply(const std::string& location, const Redis& redis, double seconds) {
  std::printf("small request/reply, requests/s     %12s %12s %12s\n", "hrzserver", "redis",
              "ratio");
  for (int clients : {1, kStormClients}) {
    const std::map<std::string, double> floors = redis.Rates(clients, seconds);
    const double select1 = RequestRate(location, clients, seconds, "select 1");
    const double lookup = RequestRate(location, clients, seconds, kLookup);
    const double ping = floors.at("PING_MBULK"), get = floors.at("GET");
    std::printf("%2d clients  select 1 / PING           %12.0f %12.0f %12.2f\n", clients, select1,
                ping, select1 / ping);
    std::printf("%2d clients  key lookup / GET          %12.0f %12.0f %12.2f\n", clients, lookup,
                get, lookup / get);
    std::fflush(stdout);
  }
}

void LogonStorm(const std::string& location, const std::string& store, double seconds) {
  const std::string hash = AdminHash(store);
  const double verify = VerifySeconds(hash);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const double bound = cores / verify;
  const double parallel = ParallelVerifyRate(hash, cores, seconds);

  tagXCliDB* light = hrzbench::LoggedOnTo(location, "adm", kPassword);
  LightLatencies(light, 0.5);  // warm
  const std::vector<double> idle = LightLatencies(light, seconds);

  std::vector<tagXCliDB*> storm;
  char error[256];
  for (int c = 0; c < kStormClients; ++c) {
    storm.push_back(XCliDB_Open(location.c_str(), error, sizeof error));
    if (storm.back() == nullptr) Die(error);
  }
  std::vector<double> during;
  long logons = 0;
  double elapsed = 0;
  std::thread measure([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the storm gets going
    during = LightLatencies(light, seconds);
  });
  const Clock::time_point start = Clock::now();
  logons = hrzbench::CountFor(kStormClients, seconds + 1.0, [&](int client) {
    int status = 0;
    return XCliDB_Logon(storm[static_cast<std::size_t>(client)], "adm", kPassword, 1, &status,
                        nullptr, 0) != 0;
  });
  elapsed = SecondsSince(start);
  measure.join();
  for (tagXCliDB* db : storm) XCliDB_Close(db);
  XCliDB_Close(light);

  const double rate = static_cast<double>(logons) / elapsed;
  std::printf(
      "\nlogon storm, %d clients: one verify %.1f ms, bound %u cores / verify = %.1f/s; "
      "%u threads verifying plainly reach %.1f/s\n",
      kStormClients, verify * 1e3, cores, bound, cores, parallel);
  std::printf("  logons/s %.1f: %.2f of the bound, %.2f of the plain parallel rate\n", rate,
              rate / bound, rate / parallel);
  const double idle99 = Quantile(idle, 0.99), storm99 = Quantile(during, 0.99);
  std::printf("  light request p50 idle %.0f us, during the storm %.0f us\n", Quantile(idle, 0.5),
              Quantile(during, 0.5));
  std::printf("  light request p99 idle %.0f us, during the storm %.0f us, ratio %.2f\n", idle99,
              storm99, storm99 / idle99);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  const std::string part = argc > 2 ? argv[2] : "";
  if (!part.empty() && part != "rate" && part != "storm") Die("the part is rate or storm");
  hrztest::TempDir dir;
  const std::string store = dir.File("store.db");
  hrzbench::MakeSampleStore(store, kPassword);
  hrzbench::ServerProcess server(store, true);
  if (part != "storm") {
    const Redis redis(dir.Path());
    RequestReply(server.location, redis, seconds);
  }
  if (part != "rate") LogonStorm(server.location, store, seconds);
  return 0;
}
