// What TLS costs: small requests per second, the server's processor time per request, and
// the time of a logon (connect, handshake, greeting and one Argon2id check), each over TLS
// against the same over plain TCP on loopback in the same run, at 1 and at 50 clients; and
// how far an unknown user code's logon differs in time from a wrong password's.
//
// Both servers are hrzserver processes on one store, so that the server's own processor
// time can be told apart from the clients'.
//
//   channel_bench [SECONDS_PER_RATE]    (default 3)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "server_process.h"
#include "support/temp_dir.h"

namespace {

using hrzbench::Die;
using hrzbench::Median;
using hrzbench::OnClients;
using Server = hrzbench::ServerProcess;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr const char* kPassword = "bench-pw";
constexpr int kRounds = 3;  // plain and TLS take turns, so drift of the machine hits both
constexpr int kLogonsPerClient = 2;
constexpr int kTimingSamples = 15;

struct Served {
  Served() {
    const std::string store = dir.File("store.db");
    hrzbench::MakeSampleStore(store, kPassword);
    tls = std::make_unique<Server>(store, false);
    plain = std::make_unique<Server>(store, true);
    ::setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    char fingerprint[XCLI_FINGERPRINT_SIZE];
    char error[256];
    const char* where = tls->location.c_str();
    if (XCliDB_CheckServer(where, fingerprint, nullptr, error, sizeof error) != XCLI_SERVER_NEW ||
        !XCliDB_PinServer(where, fingerprint, error, sizeof error)) {
      Die(error);
    }
  }
  ~Served() {
    tls.reset();
    plain.reset();
  }
  hrztest::TempDir dir;
  std::unique_ptr<Server> tls, plain;
};

tagXCliDB* LoggedOn(const std::string& location) {
  return hrzbench::LoggedOnTo(location, "adm", kPassword);
}

bool ReadOneRow(tagXCliDB* db) {
  XCliGenRS rs(db);
  char text[128];
  return rs.Open(1, "select CCODE, CNAME, NSTAT from UUSR where NID = 10") &&
         rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text);
}

// Mean time of one logon on a new connection, each client logging on in turn.
double LogonMillis(const Server& server, int clients) {
  std::vector<double> times(static_cast<std::size_t>(clients * kLogonsPerClient));
  OnClients(clients, [&](int client) {
    for (int i = 0; i < kLogonsPerClient; ++i) {
      const Clock::time_point start = Clock::now();
      XCliDB_Close(LoggedOn(server.location));
      times[static_cast<std::size_t>(client * kLogonsPerClient + i)] =
          Millis(Clock::now() - start).count();
    }
  });
  double sum = 0;
  for (double t : times) sum += t;
  return sum / static_cast<double>(times.size());
}

struct Rate {
  double perSecond = 0;     // small requests answered, all clients together
  double serverMicros = 0;  // the server's processor time per request
};

Rate Requests(const Server& server, int clients, double seconds) {
  std::vector<tagXCliDB*> connections;
  for (int c = 0; c < clients; ++c) connections.push_back(LoggedOn(server.location));
  const double cpuStart = server.CpuSeconds();
  const Clock::time_point start = Clock::now();
  const long answered = hrzbench::CountFor(clients, seconds, [&](int client) {
    return ReadOneRow(connections[static_cast<std::size_t>(client)]);
  });
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = server.CpuSeconds() - cpuStart;
  for (tagXCliDB* db : connections) XCliDB_Close(db);
  const auto count = static_cast<double>(answered);
  return {count / elapsed, cpu * 1e6 / count};
}

// Time of one refused logon of code on a connection that stays open.
double RefusedLogonMillis(tagXCliDB* db, const char* code) {
  int status = 0;
  const Clock::time_point start = Clock::now();
  XCliDB_Logon(db, code, "not-the-password", 1, &status, nullptr, 0);
  return Millis(Clock::now() - start).count();
}

// cost: how much more TLS takes than plain TCP, as a fraction.
void Row(int clients, const char* what, double plain, double tls, double cost) {
  std::printf("%7d  %-22s%11.1f %11.1f   %+6.1f%%\n", clients, what, plain, tls, cost * 100);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  Served served;
  std::printf("clients  %-22s%11s %11s   TLS costs\n", "what", "plain", "TLS");
  for (int clients : {1, 50}) {
    std::vector<double> logon[2], rate[2], cpu[2];  // [0] plain, [1] TLS
    for (int round = 0; round < kRounds; ++round) {
      // Which goes first changes every round.
      for (int tls : {round % 2, 1 - round % 2}) {
        const Server& server = tls ? *served.tls : *served.plain;
        logon[tls].push_back(LogonMillis(server, clients));
        const Rate measured = Requests(server, clients, seconds);
        rate[tls].push_back(measured.perSecond);
        cpu[tls].push_back(measured.serverMicros);
      }
    }
    const double logonPlain = Median(logon[0]), logonTls = Median(logon[1]);
    const double ratePlain = Median(rate[0]), rateTls = Median(rate[1]);
    const double cpuPlain = Median(cpu[0]), cpuTls = Median(cpu[1]);
    Row(clients, "logon, ms", logonPlain, logonTls, logonTls / logonPlain - 1);
    // A lower rate is a cost: each request takes longer by that much.
    Row(clients, "requests/s", ratePlain, rateTls, ratePlain / rateTls - 1);
    Row(clients, "server CPU us/request", cpuPlain, cpuTls, cpuTls / cpuPlain - 1);
    std::fflush(stdout);
  }

  // Unknown code against a wrong password, taking turns on one TLS connection.
  tagXCliDB* db = LoggedOn(served.tls->location);
  std::vector<double> unknown, wrong;
  for (int i = 0; i < kTimingSamples; ++i) {
    unknown.push_back(RefusedLogonMillis(db, "nobody"));
    wrong.push_back(RefusedLogonMillis(db, "grace"));
  }
  XCliDB_Close(db);
  const double u = Median(unknown), w = Median(wrong);
  std::printf(
      "\nrefused logon, median of %d: wrong password %.1f ms, unknown code %.1f ms, "
      "difference %+.1f ms (%+.1f%%)\n",
      kTimingSamples, w, u, u - w, (u / w - 1) * 100);
  return 0;
}
