// Small requests to an hrzserver on a PostgreSQL store beside pgbench on the same database,
// in one run: at 1 and 50 clients, "select 1" through client SQL beside pgbench running
// "SELECT 1", and a key lookup (a primary-key read through client SQL) beside pgbench -S, its
// primary-key reads. Both sides keep their connections and prepare their statements; the ratio is
// hrzserver's rate over pgbench's.
//
//   build/default/bench/pg_rate_run [SECONDS_PER_RATE]    (default 5)
//
// The database is one of a throw-away cluster (a temporary folder, a Unix socket, fsync off)
// holding the sample organisation and pgbench's tables at scale 1.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "server_process.h"
#include "support/pg_cluster.h"
#include "support/temp_dir.h"

namespace {

using hrzbench::ChildProcess;
using hrzbench::Die;
using Clock = std::chrono::steady_clock;

constexpr const char* kPassword = "bench-pw";
constexpr const char* kLookup = "select CCODE, CNAME, NSTAT from UUSR where NID = 308";

enum class Request { kSelect1, kLookup };

bool Send(tagXCliDB* db, Request request) {
  XCliGenRS rs(db);
  char text[128];
  return rs.Open(1, request == Request::kSelect1 ? "select 1" : kLookup) &&
         rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text);
}

double ServerRate(const std::string& location, int clients, double seconds, Request request) {
  std::vector<tagXCliDB*> connections;
  for (int c = 0; c < clients; ++c) {
    connections.push_back(hrzbench::LoggedOnTo(location, "adm", kPassword));
  }
  const Clock::time_point start = Clock::now();
  const long answered = hrzbench::CountFor(clients, seconds, [&](int client) {
    return Send(connections[static_cast<std::size_t>(client)], request);
  });
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  for (tagXCliDB* db : connections) XCliDB_Close(db);
  return static_cast<double>(answered) / elapsed;
}

// pgbench's transactions per second; script empty: its built-in select-only run (-S).
double PgbenchRate(const std::string& location, int clients, double seconds,
                   const std::string& script) {
  std::vector<std::string> args = {hrztest::PgProgram("pgbench"),
                                   "-n",
                                   "-M",
                                   "prepared",
                                   "-c",
                                   std::to_string(clients),
                                   "-j",
                                   "2",
                                   "-T",
                                   std::to_string(static_cast<int>(seconds))};
  if (script.empty()) {
    args.push_back("-S");
  } else {
    args.insert(args.end(), {"-f", script});
  }
  args.push_back(location);
  ChildProcess run(args);
  std::string line;
  double tps = -1;
  while (run.ReadLine(&line)) {
    if (line.starts_with("tps = ")) tps = std::atof(line.c_str() + 6);
  }
  if (run.Wait() != 0 || tps <= 0) Die("pgbench gave no rate");
  return tps;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  hrztest::TempDir dir;
  const std::string location = hrzbench::MakeSamplePgStore(dir.Path(), kPassword);
  {
    ChildProcess init({hrztest::PgProgram("pgbench"), "-i", "-q", "-s", "1", location});
    std::string line;
    while (init.ReadLine(&line)) {
    }
    if (init.Wait() != 0) Die("pgbench -i failed");
  }
  const std::string select1 = dir.File("select1.sql");
  std::ofstream(select1) << "SELECT 1;\n";

  hrzbench::ServerProcess server(location, true);
  std::printf("requests/s on one PostgreSQL database  %12s %12s %8s\n", "hrzserver", "pgbench",
              "ratio");
  for (int clients : {1, 50}) {
    const double one = ServerRate(server.location, clients, seconds, Request::kSelect1);
    const double oneFloor = PgbenchRate(location, clients, seconds, select1);
    std::printf("%2d clients  select 1 / SELECT 1          %12.0f %12.0f %8.2f\n", clients, one,
                oneFloor, one / oneFloor);
    const double lookup = ServerRate(server.location, clients, seconds, Request::kLookup);
    const double lookupFloor = PgbenchRate(location, clients, seconds, "");
    std::printf("%2d clients  key lookup / pgbench -S      %12.0f %12.0f %8.2f\n", clients, lookup,
                lookupFloor, lookup / lookupFloor);
    std::fflush(stdout);
  }
  return 0;
}
