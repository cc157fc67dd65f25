// What TLS costs: small requests per second, the server's processor time per request, and
// the time of a logon (connect, handshake, greeting and one Argon2id check), each over TLS
// against the same over plain TCP on loopback in the same run, at 1 and at 50 clients; and
// how far an unknown user code's logon differs in time from a wrong password's.
//
// Both servers are hrzserver processes on one store, so that the server's own processor
// time can be told apart from the clients'.
//
//   channel_bench [SECONDS_PER_RATE]    (default 3)
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "xclidb.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr const char* kPassword = "bench-pw";
constexpr int kRounds = 3;  // plain and TLS take turns, so drift of the machine hits both
constexpr int kLogonsPerClient = 2;
constexpr int kTimingSamples = 15;

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "channel_bench: %s\n", why.c_str());
  std::exit(1);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// An hrzserver process serving the store; its first line names where.
class Server {
 public:
  Server(const std::string& store, bool plain) {
    std::vector<std::string> args = {HRZSERVER_PATH, "serve",       "--store",           store,
                                     "--listen",     "127.0.0.1:0", "--max-connections", "500"};
    if (plain) args.push_back("--plain");
    int out[2];
    if (pipe(out) != 0) Die("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      Die("cannot start hrzserver");
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    output_ = fdopen(out[0], "r");
    char line[512] = "";
    if (!fgets(line, sizeof line, output_)) Die("hrzserver said nothing");
    const std::string banner = line;
    const std::size_t at = banner.find("tcp");
    location = banner.substr(at, banner.find_last_not_of("\r\n") + 1 - at);
  }
  ~Server() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    fclose(output_);
  }
  // Processor time the server has used so far, in seconds.
  double CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i >= 14) ticks += std::stod(field);
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
  }

  std::string location;

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
};

struct Served {
  Served() {
    std::string pattern = (std::filesystem::temp_directory_path() / "chbench-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    const std::string store = dir + "/store.db";
    char error[256];
    if (!XCliDB_CreateStore(store.c_str(), kPassword, 1, error, sizeof error)) Die(error);
    // No lock, so that failed logons keep costing a hash however many are measured.
    sqlite3* db = nullptr;
    sqlite3_open(store.c_str(), &db);
    sqlite3_exec(db, "update SRV_SETTING set CVALUE = '0' where CKEY = 'Lgn Err Try'", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
    tls = std::make_unique<Server>(store, false);
    plain = std::make_unique<Server>(store, true);
    ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    char fingerprint[XCLI_FINGERPRINT_SIZE];
    const char* where = tls->location.c_str();
    if (XCliDB_CheckServer(where, fingerprint, nullptr, error, sizeof error) != XCLI_SERVER_NEW ||
        !XCliDB_PinServer(where, fingerprint, error, sizeof error)) {
      Die(error);
    }
  }
  ~Served() {
    tls.reset();
    plain.reset();
    std::filesystem::remove_all(dir);
  }
  std::string dir;
  std::unique_ptr<Server> tls, plain;
};

tagXCliDB* LoggedOn(const std::string& location) {
  char error[256];
  tagXCliDB* db = XCliDB_Open(location.c_str(), error, sizeof error);
  if (db == nullptr) Die(error);
  int status = 0;
  if (!XCliDB_Logon(db, "adm", kPassword, 1, &status, nullptr, 0)) Die("logon refused");
  return db;
}

bool ReadOneRow(tagXCliDB* db) {
  XCliGenRS rs(db);
  char text[128];
  return rs.Open(1, "select CCODE, CNAME, NSTAT from UUSR where NID = 10") &&
         rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text);
}

// Runs body(client) on each of clients threads at once.
template <typename Body>
void OnClients(int clients, Body body) {
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) threads.emplace_back(body, c);
  for (std::thread& t : threads) t.join();
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
  std::atomic<long> answered{0};
  std::atomic<bool> stop{false};
  const double cpuStart = server.CpuSeconds();
  const Clock::time_point start = Clock::now();
  std::thread timer([&] {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
  });
  OnClients(clients, [&](int client) {
    while (!stop) answered += ReadOneRow(connections[static_cast<std::size_t>(client)]);
  });
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = server.CpuSeconds() - cpuStart;
  timer.join();
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
