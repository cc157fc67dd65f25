// hrzserver migrate, init, demo and certificate on a PostgreSQL store, as an administrator
// runs them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "hrzserver/engine.h"
#include "hrzserver/pg_db.h"
#include "support/pg_cluster.h"
#include "support/stores.h"

extern char** environ;

namespace hrztest {
namespace {

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

ProgramRun RunServer(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), HRZSERVER_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string out = dir.File("out.txt"), err = dir.File("err.txt");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  ProgramRun run;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = ReadFileText(out);
  run.err = ReadFileText(err);
  return run;
}

using MigrateCommandTest = PgTest;

TEST_F(MigrateCommandTest, CopiesAStoreAndReportsTheProgressOfLargeTables) {
  TempDir dir;
  const std::string store = dir.File("sample.hrz");
  CopySampleStore(store);
  // An audit log long enough to report its progress.
  WriteStore(store,
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12345) "
             "INSERT INTO SRV_LOG(DTIME, CACTION) SELECT 20261211.08, 'test' FROM n");
  const std::int64_t logRows =
      std::stoll(StoreRows(store, "SELECT count(*) FROM SRV_LOG")[0].substr(2));

  const ProgramRun run = RunServer(dir, {"migrate", "--from", store, "--to", location_});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Copied " + store + " to PostgreSQL.\n");
  const std::string total = " of " + std::to_string(logRows) + " rows\n";
  EXPECT_NE(run.err.find("SRV_LOG: 10000" + total), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("SRV_LOG: " + std::to_string(logRows) + total), std::string::npos);
  EXPECT_EQ(run.err.find("UUSR:"), std::string::npos) << "small tables copy quietly";

  std::string error;
  std::unique_ptr<hrzsrv::pg::Connection> db = hrzsrv::pg::Connection::Open(location_, &error);
  ASSERT_NE(db, nullptr) << error;
  EXPECT_EQ(db->Exec("SELECT count(*) FROM hrz_private.SRV_LOG").Int(0, 0), logRows);

  const ProgramRun again = RunServer(dir, {"migrate", "--from", store, "--to", location_});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "hrzserver: the target already holds a store (schema hrz_private exists)\n");
}

TEST_F(MigrateCommandTest, InitDemoAndCertificateMakeAndReadAStoreOnPostgres) {
  TempDir dir;
  const ProgramRun init = RunServer(dir, {"init", "--store", location_, "--admin-password", "pw"});
  ASSERT_EQ(init.status, 0) << init.err;
  EXPECT_EQ(init.out, "Created " + location_ + " with the administrator adm.\n");
  const ProgramRun again = RunServer(dir, {"init", "--store", location_, "--admin-password", "pw"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "hrzserver: the target already holds a store (schema hrz_private exists)\n");

  const ProgramRun demo = RunServer(dir, {"demo", "--store", location_});
  EXPECT_EQ(demo.status, 0) << demo.err;
  EXPECT_NE(demo.out.find("ivan"), std::string::npos) << demo.out;
  const ProgramRun certificate = RunServer(dir, {"certificate", "--store", location_});
  EXPECT_EQ(certificate.status, 0) << certificate.err;
  EXPECT_NE(certificate.out.find("SHA-256 fingerprint: "), std::string::npos);

  std::string error;
  std::unique_ptr<hrzsrv::pg::Connection> db = hrzsrv::pg::Connection::Open(location_, &error);
  ASSERT_NE(db, nullptr) << error;
  EXPECT_EQ(db->Exec("SELECT count(*) FROM UUSR WHERE CCODE IN ('adm', 'ivan')").Int(0, 0), 2);
  EXPECT_NE(hrzsrv::Engine::Open(location_, nullptr, &error), nullptr) << error;
}

TEST_F(MigrateCommandTest, RefusesWrongArguments) {
  TempDir dir;
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"migrate", "--from", "x.hrz"},
        std::vector<std::string>{"migrate", "--from", "x.hrz", "--to", "x2.hrz"},
        std::vector<std::string>{"migrate", "--to", location_, "--from"}}) {
    const ProgramRun run = RunServer(dir, bad);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "usage: hrzserver migrate --from PATH --to postgresql://...\n");
  }
}

}  // namespace
}  // namespace hrztest
