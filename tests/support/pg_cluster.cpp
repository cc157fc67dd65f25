#include "support/pg_cluster.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "hrzserver/pg_db.h"

extern char** environ;

namespace hrztest {
namespace {

const std::string kBinDir = HRZ_PG_BINDIR;
constexpr const char* kSuperuser = "postgres";

// The user the cluster runs as when this process is root: PostgreSQL refuses root.
struct RunAs {
  bool change = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

RunAs ClusterUser() {
  RunAs as;
  if (::geteuid() != 0) return as;
  const passwd* nobody = ::getpwnam("nobody");
  if (nobody == nullptr) return as;
  as = {true, nobody->pw_uid, nobody->pw_gid};
  return as;
}

// Runs a PostgreSQL program as the cluster's user, its output into log; true when it exits 0.
bool RunProgram(std::vector<std::string> args, const std::string& log) {
  const RunAs as = ClusterUser();
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (out < 0) return false;
  if (as.change && ::fchown(out, as.uid, as.gid) != 0) {
    ::close(out);
    return false;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {  // only calls that are safe between fork and exec
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (as.change &&
        (::setgroups(0, nullptr) != 0 || ::setgid(as.gid) != 0 || ::setuid(as.uid) != 0)) {
      ::_exit(126);
    }
    ::execve(argv[0], argv.data(), environ);
    ::_exit(127);
  }
  ::close(out);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::string PgProgram(const std::string& name) {
  return kBinDir + "/" + name;
}

PgCluster* PgCluster::Shared(std::string* why, bool* installed) {
  *installed = ::access((kBinDir + "/initdb").c_str(), X_OK) == 0 &&
               ::access((kBinDir + "/pg_ctl").c_str(), X_OK) == 0;
  if (!*installed) {
    *why = "PostgreSQL is not installed (no initdb in " + kBinDir + "); setup.sh installs it";
    return nullptr;
  }
  static std::unique_ptr<PgCluster> shared;
  static std::string failure;
  if (!shared && failure.empty()) {
    std::unique_ptr<PgCluster> cluster(new PgCluster);
    if (cluster->Start(&failure)) shared = std::move(cluster);
  }
  *why = failure;
  return shared.get();
}

bool PgCluster::Start(std::string* why) {
  const RunAs as = ClusterUser();
  if (::geteuid() == 0 && !as.change) {
    *why = "running as root and there is no user nobody to run PostgreSQL as";
    return false;
  }
  if (as.change && ::chown(dir_.Path().c_str(), as.uid, as.gid) != 0) {
    *why = "cannot give the cluster's folder to nobody";
    return false;
  }
  const std::string data = dir_.File("data"), log = dir_.File("server.log");
  if (!RunProgram({kBinDir + "/initdb", "-D", data, "-U", kSuperuser, "-A", "trust", "-E", "UTF8",
                   "--locale=C", "--no-sync"},
                  log)) {
    *why = "initdb failed:\n" + ReadFileText(log);
    return false;
  }
  // Only the socket in the folder: no TCP port is opened.
  std::ofstream conf(data + "/postgresql.conf", std::ios::app);
  conf << "listen_addresses = ''\nunix_socket_directories = '" << dir_.Path()
       << "'\nfsync = off\nfull_page_writes = off\nsynchronous_commit = off\n"
          "shared_buffers = 16MB\n";
  conf.close();
  if (!RunProgram({kBinDir + "/pg_ctl", "-D", data, "-l", log, "-w", "-t", "60", "start"}, log)) {
    *why = "the cluster did not start:\n" + ReadFileText(log);
    return false;
  }
  running_ = true;
  return true;
}

PgCluster::~PgCluster() {
  if (running_) {
    RunProgram({kBinDir + "/pg_ctl", "-D", dir_.File("data"), "-m", "immediate", "-w", "stop"},
               dir_.File("server.log"));
  }
}

std::string PgCluster::Location(const std::string& database, const std::string& role) const {
  return "postgresql:///" + database + "?host=" + dir_.Path() +
         "&user=" + (role.empty() ? kSuperuser : role);
}

std::string PgCluster::NewDatabase() {
  std::string error;
  std::unique_ptr<hrzsrv::pg::Connection> admin =
      hrzsrv::pg::Connection::Open(Location("postgres"), &error);
  const std::string name = "store" + std::to_string(++databases_);
  if (!admin || !admin->Exec("CREATE DATABASE " + name).ok()) return {};
  return Location(name);
}

void NewTestDatabase(std::string* location, PgCluster** cluster) {
  location->clear();
  std::string why;
  bool installed = false;
  PgCluster* shared = PgCluster::Shared(&why, &installed);
  if (cluster) *cluster = shared;
  if (!installed) GTEST_SKIP() << why;
  ASSERT_NE(shared, nullptr) << why;
  *location = shared->NewDatabase();
  ASSERT_FALSE(location->empty()) << "cannot create a database in the test cluster";
}

void PgTest::SetUp() {
  NewTestDatabase(&location_, &cluster_);
}

}  // namespace hrztest
