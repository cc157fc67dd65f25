// Copies of a live store, and the daemon's backup command and log level as an operator uses
// them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "hrzserver/backup.h"
#include "hrzserver/engine.h"
#include "support/stores.h"
#include "support/temp_dir.h"

extern char** environ;

namespace hrztest {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first column of each row of sql on the store file at path.
std::vector<std::string> Column(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::vector<std::string> values;
  EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
  while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    values.push_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return values;
}

// While a server's engine holds the store and another connection keeps writing, the copy
// is one consistent state: whole, with every row written before it began and no gap.
TEST(StoreBackup, ACopyTakenWhileAnotherConnectionWritesIsWholeAndConsistent) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  const std::string copy = dir.File("copy.db");
  CopySampleStore(store);
  std::string error;
  std::unique_ptr<hrzsrv::Engine> engine = hrzsrv::Engine::Open(store, nullptr, &error);
  ASSERT_TRUE(engine) << error;
  WriteStore(store, "CREATE TABLE TBACKUP(N INTEGER PRIMARY KEY, CPAD TEXT)");

  std::atomic<int> written{0};
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    sqlite3* db = nullptr;
    sqlite3_open(store.c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    while (!stop) {
      const std::string sql = "INSERT INTO TBACKUP(N, CPAD) VALUES(" + std::to_string(written + 1) +
                              ", hex(randomblob(512)))";
      if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) ++written;
    }
    sqlite3_close(db);
  });
  while (written < 200) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const int before = written;
  const bool copied = hrzsrv::BackupStore(store, copy, &error);
  const int after = written;
  stop = true;
  writer.join();
  ASSERT_TRUE(copied) << error;

  EXPECT_EQ(Column(copy, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(Column(copy, "SELECT count(*) FROM UUSR"), std::vector<std::string>{"20"});
  const std::vector<std::string> rows =
      Column(copy, "SELECT count(*), min(N), max(N) FROM TBACKUP");
  const std::vector<std::string> range =
      Column(copy, "SELECT min(N) || ' ' || max(N) FROM TBACKUP");
  const int count = std::stoi(rows.at(0));
  EXPECT_GE(count, before) << "rows written before the copy began are in it";
  EXPECT_LE(count, after);
  EXPECT_EQ(range, std::vector<std::string>{"1 " + std::to_string(count)}) << "no gap";
  struct stat info {};
  ASSERT_EQ(stat(copy.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "it holds password hashes and the private key";
}

TEST(StoreBackup, RefusesWhatWouldLoseOrMisplaceDataAndLeavesNothingBehind) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  CopySampleStore(store);
  const std::string existing = dir.File("existing.db");
  std::ofstream(existing) << "keep me";
  symlink(store.c_str(), dir.File("link.db").c_str());
  const int entries = CountEntries(dir.Path());
  struct Case {
    std::string store;
    std::string target;
    const char* error;
  };
  const Case cases[] = {
      {store, existing, "exists; remove it first"},
      {store, store, "is the store itself"},
      {store, dir.Path() + "/./org.db", "is the store itself"},
      {store, dir.File("link.db"), "is the store itself"},
      {dir.File("none.db"), dir.File("new.db"), "is not a store file"},
      {"postgresql://hrz@db.example/hrz", dir.File("new.db"), "pg_dump"},
      {store, dir.File("no/such/folder/new.db"), "cannot create"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(hrzsrv::BackupStore(c.store, c.target, &error)) << c.target;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.target << ": " << error;
  }
  EXPECT_EQ(ReadFile(existing), "keep me");
  EXPECT_EQ(CountEntries(dir.Path()), entries) << "no partial copy is left";
  EXPECT_EQ(Column(store, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
}

// hrzserver run with its standard output and error in files.
class Daemon {
 public:
  Daemon(std::vector<std::string> args, const std::string& out, const std::string& err) {
    args.insert(args.begin(), HRZSERVER_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
  }
  ~Daemon() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Stop() { kill(pid_, SIGTERM); }

 private:
  pid_t pid_ = -1;
};

TEST(DaemonBackup, CopiesOnceAndNeverOverAnExistingFile) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  CopySampleStore(store);
  const std::string out = dir.File("out.txt"), err = dir.File("err.txt");
  struct Case {
    std::vector<std::string> args;
    int exit;
    const char* says;  // in its output or errors
  };
  const Case cases[] = {
      {{"backup", "--store", store, "--to", dir.File("copy.db")}, 0, "Copied"},
      {{"backup", "--store", store, "--to", dir.File("copy.db")}, 1, "exists"},
      {{"backup", "--store", store}, 2, "--to FILE"},
      {{"backup", "--store", "postgresql://hrz@db/hrz", "--to", dir.File("pg.dump")},
       1,
       "pg_dump --format=custom"},
  };
  for (const Case& c : cases) {
    Daemon backup(c.args, out, err);
    EXPECT_EQ(backup.Wait(), c.exit) << c.args.back();
    EXPECT_NE((ReadFile(out) + ReadFile(err)).find(c.says), std::string::npos)
        << ReadFile(out) << ReadFile(err);
  }
  EXPECT_EQ(Column(dir.File("copy.db"), "SELECT count(*) FROM UUSR"),
            std::vector<std::string>{"20"});
}

// The lines a server writes at each level while a client connects, logs on with a wrong
// password and then with the right one; no password ever reaches them.
TEST(DaemonLog, TheLevelChoosesWhichStructuredLinesAServerWrites) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  CopySampleStore(store);
  UseConfigFolder(dir.File("config"));
  struct Case {
    const char* level;
    std::vector<const char*> present;
    std::vector<const char*> absent;
  };
  const Case cases[] = {
      {"debug",
       {"level=info msg=serving", "level=debug msg=\"connection accepted\" peer=127.0.0.1",
        "level=warn msg=\"LOGON FAILED\" peer=127.0.0.1",
        "level=info msg=logon peer=127.0.0.1 user=bob", "level=info msg=stopping"},
       {}},
      {"warn", {"level=warn msg=\"LOGON FAILED\""}, {"level=info", "level=debug"}},
  };
  for (const Case& c : cases) {
    const std::string out = dir.File(std::string(c.level) + ".out");
    const std::string err = dir.File(std::string(c.level) + ".err");
    Daemon serve({"serve", "--store", store, "--listen", "127.0.0.1:0", "--log-level", c.level},
                 out, err);
    std::string banner;
    for (int i = 0; i < 400 && banner.find('\n') == std::string::npos; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      banner = ReadFile(out);
    }
    const std::size_t at = banner.find("tcp://");
    ASSERT_NE(at, std::string::npos) << banner << ReadFile(err);
    const std::string location = banner.substr(at, banner.find('\n') - at);
    TrustServer(location);
    EXPECT_FALSE(TryLogon(location, "bob", "not-bobs-password"));
    EXPECT_TRUE(TryLogon(location, "bob", "bob-pw1"));
    serve.Stop();
    EXPECT_EQ(serve.Wait(), 0);
    const std::string log = ReadFile(err);
    for (const char* line : c.present)
      EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    for (const char* line : c.absent)
      EXPECT_EQ(log.find(line), std::string::npos) << line << "\n" << log;
    for (const char* secret : {"not-bobs-password", "bob-pw1", "argon2"}) {
      EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    }
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_EQ(line.rfind("ts=", 0), 0u) << "every line is structured: " << line;
    }
  }
}

}  // namespace
}  // namespace hrztest
