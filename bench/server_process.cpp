#include "server_process.h"

#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "hrzserver/pg_store.h"
#include "support/pg_cluster.h"

extern char** environ;

namespace hrzbench {

void Die(const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, why.c_str());
  std::exit(1);
}

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  const auto at = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
  return values[at];
}

ChildProcess::ChildProcess(std::vector<std::string> args, bool readOutput) {
  int out[2] = {-1, -1};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (readOutput) {
    if (pipe(out) != 0) Die("no pipe");
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) Die("cannot start " + args[0]);
  if (readOutput) {
    close(out[1]);
    output_ = fdopen(out[0], "r");
  }
}

ChildProcess::~ChildProcess() {
  if (!ended_) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ != nullptr) fclose(output_);
}

bool ChildProcess::ReadLine(std::string* line) {
  char buffer[4096];
  if (output_ == nullptr || fgets(buffer, sizeof buffer, output_) == nullptr) return false;
  *line = buffer;
  while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
  return true;
}

int ChildProcess::Wait() {
  int status = 0;
  if (waitpid(pid_, &status, 0) != pid_) return -1;
  ended_ = true;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Kill() {
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  ended_ = true;
}

double ChildProcess::CpuSeconds() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  if (text.empty()) return 0;
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  // Fields 14 and 15: user and system time.
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

namespace {

std::vector<std::string> ServeArgs(const std::string& store, bool plain,
                                   std::vector<std::string> extra) {
  // HRZSERVER names another build to measure, such as one from before a change.
  const char* program = std::getenv("HRZSERVER");
  std::vector<std::string> args = {program != nullptr ? program : HRZSERVER_PATH,
                                   "serve",
                                   "--store",
                                   store,
                                   "--listen",
                                   "127.0.0.1:0",
                                   "--max-connections",
                                   "500"};
  if (plain) args.push_back("--plain");
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

}  // namespace

ServerProcess::ServerProcess(const std::string& store, bool plain,
                             std::vector<std::string> extraArgs)
    : process_(ServeArgs(store, plain, std::move(extraArgs))) {
  // Its first line names where it listens.
  std::string banner;
  if (!process_.ReadLine(&banner)) Die("hrzserver said nothing");
  const std::size_t at = banner.find("tcp");
  if (at == std::string::npos) Die("hrzserver said: " + banner);
  location = banner.substr(at);
}

void MakeSampleStore(const std::string& path, const char* adminPassword) {
  char error[256];
  if (!XCliDB_CreateStore(path.c_str(), adminPassword, 1, error, sizeof error)) Die(error);
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  const int rc = sqlite3_exec(db, "update SRV_SETTING set CVALUE = '0' where CKEY = 'Lgn Err Try'",
                              nullptr, nullptr, nullptr);
  sqlite3_close(db);
  if (rc != SQLITE_OK) Die("cannot clear the logon attempt limit");
}

std::string MakeSamplePgStore(const std::string& folder, const char* adminPassword) {
  const std::string seed = folder + "/seed.db";
  MakeSampleStore(seed, adminPassword);
  std::string why;
  bool installed = false;
  hrztest::PgCluster* cluster = hrztest::PgCluster::Shared(&why, &installed);
  if (cluster == nullptr) Die(why);
  const std::string location = cluster->NewDatabase();
  if (location.empty()) Die("cannot create a database in the throw-away cluster");
  if (!hrzsrv::MigrateToPostgres(seed, location, nullptr, &why)) Die(why);
  return location;
}

bool TakeFlag(int* argc, char** argv, const char* flag) {
  const auto end = argv + *argc;
  const auto found =
      std::find_if(argv + 1, end, [&](const char* a) { return !std::strcmp(a, flag); });
  if (found == end) return false;
  std::copy(found + 1, end, found);
  --*argc;
  return true;
}

tagXCliDB* LoggedOnTo(const std::string& location, const char* code, const char* password) {
  char error[256];
  tagXCliDB* db = XCliDB_Open(location.c_str(), error, sizeof error);
  if (db == nullptr) Die(error);
  int status = 0;
  if (!XCliDB_Logon(db, code, password, 1, &status, nullptr, 0)) {
    Die(std::string("logon of ") + code + " refused, status " + std::to_string(status));
  }
  return db;
}

}  // namespace hrzbench
