// The server core: the password hash pool and its helper processes, the engine's statement
// cache and the order of a connection's requests when some of them wait on a hash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "crypto.h"
#include "hash_helper.h"
#include "hash_pool.h"
#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "hrzserver/tcp_server.h"
#include "sqlite_store_db.h"
#include "statement.h"
#include "support/engine_fixture.h"
#include "support/temp_dir.h"

namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;

// A gate a job waits at until the test opens it.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

TEST(HashPoolTest, RunsEveryJobItTookBeforeItEnds) {
  std::atomic<int> ran{0};
  {
    hrzsrv::HashPool pool(2, 16);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(pool.Submit([&] { ++ran; }));
    int answer = 0;
    ASSERT_TRUE(pool.Run([&] { answer = 42; }));
    EXPECT_EQ(answer, 42);
  }
  EXPECT_EQ(ran, 10);
}

TEST(HashPoolTest, RefusesWhenItsWaitingRoomIsFullAndTakesJobsAgainOnceItDrains) {
  hrzsrv::HashPool pool(1, 2);
  Gate gate, started;
  std::atomic<int> ran{0};
  ASSERT_TRUE(pool.Submit([&] {
    started.Open();
    gate.Wait();
    ++ran;
  }));
  started.Wait();  // the one thread is busy; what follows waits
  EXPECT_TRUE(pool.Submit([&] { ++ran; }));
  EXPECT_TRUE(pool.Submit([&] { ++ran; }));
  EXPECT_FALSE(pool.Submit([&] { ran += 100; }));
  bool ranInline = false;
  EXPECT_FALSE(pool.Run([&] { ranInline = true; }));
  EXPECT_FALSE(ranInline);
  gate.Open();
  for (int i = 0; i < 5000 && ran < 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(ran, 3);  // drained: the one refused never ran
  EXPECT_TRUE(pool.Run([&] { ++ran; }));
  EXPECT_EQ(ran, 4);
}

hrzsrv::PasswordJob Job(hrzsrv::PasswordJob::Kind kind, std::string plain, std::string hash = {}) {
  hrzsrv::PasswordJob job;
  job.kind = kind;
  job.plain = std::move(plain);
  job.hash = std::move(hash);
  return job;
}

bool SchedulesLowest(pid_t pid) {
  errno = 0;
  return sched_getscheduler(pid) == SCHED_IDLE || getpriority(PRIO_PROCESS, pid) == 19;
}

// The hashes run in a process of their own, so that their memory comes and goes in an address
// space apart from the server's, and at the lowest priority, so that logons take the
// processors only when nothing else wants them.
TEST(HashHelperTest, MakesAndChecksHashesInAProcessOfItsOwnAtTheLowestPriority) {
  ASSERT_GE(sodium_init(), 0);
  hrzsrv::HashHelper helper;
  EXPECT_EQ(helper.pid(), -1);  // forked on first use
  hrzsrv::PasswordJob made = Job(hrzsrv::PasswordJob::kMake, "right horse");
  ASSERT_TRUE(helper.Run(made));
  ASSERT_TRUE(made.ok);
  EXPECT_EQ(crypto_pwhash_str_verify(made.hash.c_str(), "right horse", 11), 0);
  EXPECT_GT(helper.pid(), 0);
  EXPECT_NE(helper.pid(), getpid());
  EXPECT_TRUE(SchedulesLowest(helper.pid()));
  EXPECT_FALSE(SchedulesLowest(getpid()));

  struct Case {
    const char* plain;
    std::string hash;
    bool matches;
  };
  const Case cases[] = {
      {"right horse", made.hash, true},
      {"right horsE", made.hash, false},
      {"", made.hash, false},
      {"right horse", "not a hash", false},
  };
  for (const Case& c : cases) {
    hrzsrv::PasswordJob check = Job(hrzsrv::PasswordJob::kVerify, c.plain, c.hash);
    ASSERT_TRUE(helper.Run(check)) << c.plain;
    EXPECT_EQ(check.ok, c.matches) << c.plain << " against " << c.hash;
  }
}

TEST(HashHelperTest, HoldsNoneOfTheServersFilesAndIsReplacedWhenItDies) {
  ASSERT_GE(sodium_init(), 0);
  hrztest::TempDir dir;
  const int held = open(dir.File("held").c_str(), O_CREAT | O_RDWR, 0600);
  ASSERT_GE(held, 0);
  hrzsrv::HashHelper helper;
  hrzsrv::PasswordJob made = Job(hrzsrv::PasswordJob::kMake, "pw");
  ASSERT_TRUE(helper.Run(made));
  const pid_t first = helper.pid();
  std::vector<int> descriptors;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(first) + "/fd")) {
    descriptors.push_back(std::stoi(entry.path().filename().string()));
  }
  EXPECT_EQ(std::count(descriptors.begin(), descriptors.end(), held), 0);
  EXPECT_LE(descriptors.size(), 4u);  // the standard three at most, and its channel
  close(held);

  ASSERT_EQ(kill(first, SIGKILL), 0);
  hrzsrv::PasswordJob check = Job(hrzsrv::PasswordJob::kVerify, "pw", made.hash);
  ASSERT_TRUE(helper.Run(check));
  EXPECT_TRUE(check.ok);
  EXPECT_GT(helper.pid(), 0);
  EXPECT_NE(helper.pid(), first);
}

// Once a server listens, the engine's hashes go through the pool and its helpers and mean
// what they meant on the caller's thread.
TEST(HashHelperTest, HashesOfTheEngineThroughThePoolVerifyAsOnTheCallersThread) {
  ASSERT_TRUE(hrzsrv::InitCrypto());
  std::string local;
  ASSERT_EQ(hrzsrv::HashPassword("secret", &local), hrzsrv::HashOutcome::kDone);
  hrzsrv::HashPasswordsOnPool();
  std::string pooled;
  ASSERT_EQ(hrzsrv::HashPassword("secret", &pooled), hrzsrv::HashOutcome::kDone);
  EXPECT_NE(pooled, local);  // salted afresh
  for (const std::string& hash : {local, pooled}) {
    EXPECT_EQ(hrzsrv::CheckPassword(hash, "secret"), hrzsrv::PasswordCheck::kMatches);
    EXPECT_EQ(hrzsrv::CheckPassword(hash, "Secret"), hrzsrv::PasswordCheck::kDiffers);
  }
  EXPECT_EQ(hrzsrv::CheckPassword("", "secret"), hrzsrv::PasswordCheck::kDiffers);
}

// How many times the statement of that text prepared on db has run.
int RunsOf(sqlite3* db, const char* sql) {
  int runs = -1;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s != nullptr;
       s = sqlite3_next_stmt(db, s)) {
    if (std::string(sqlite3_sql(s)) == sql) {
      EXPECT_EQ(runs, -1) << "a second statement of " << sql;
      runs = sqlite3_stmt_status(s, SQLITE_STMTSTATUS_RUN, 0);
    }
  }
  return runs;
}

class StatementCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    db_ = hrzsrv::OpenSqliteStoreDb(dir_.File("cache.db"), true, &error);
    ASSERT_TRUE(db_) << error;
    ASSERT_TRUE(
        db_->Exec("CREATE TABLE T(K INTEGER PRIMARY KEY, V TEXT);"
                  "INSERT INTO T VALUES(1, 'one'), (2, 'two'), (3, 'three');",
                  &error))
        << error;
  }
  hrzsrv::StoreDb& db() { return *db_; }
  sqlite3* raw() { return db_->sqlite(); }

  hrztest::TempDir dir_;
  std::unique_ptr<hrzsrv::StoreDb> db_;
};

TEST_F(StatementCacheTest, AStatementIsPreparedOnceAndComesBackResetWithoutItsBindings) {
  constexpr const char* kRead = "SELECT V FROM T WHERE K = ?";
  for (int i = 0; i < 50; ++i) {
    hrzsrv::Statement read(db(), kRead);
    if (i % 2 == 0) read.Bind(1, std::int64_t{2});
    // Unbound, the key is NULL and finds nothing: no binding is left from the last use.
    if (i % 2 == 0) {
      ASSERT_TRUE(read.Row());
      EXPECT_EQ(read.Text(0), "two");
    } else {
      EXPECT_FALSE(read.Row());
    }
  }
  EXPECT_EQ(RunsOf(raw(), kRead), 50);
}

TEST_F(StatementCacheTest, TheSameTextInUseTwiceAtOnceGivesTwoStatements) {
  constexpr const char* kAll = "SELECT K FROM T ORDER BY K";
  std::vector<std::pair<std::int64_t, std::int64_t>> pairs;
  hrzsrv::Statement outer(db(), kAll);
  while (outer.Row()) {
    hrzsrv::Statement inner(db(), kAll);
    while (inner.Row()) pairs.emplace_back(outer.Int(0), inner.Int(0));
  }
  EXPECT_EQ(pairs.size(), 9u);
}

TEST_F(StatementCacheTest, AStatementLeftBeforeItsLastRowHoldsNoTransaction) {
  {
    hrzsrv::Statement partly(db(), "SELECT K FROM T");
    ASSERT_TRUE(partly.Row());
  }
  EXPECT_TRUE(sqlite3_get_autocommit(raw()));
  // Another connection writes; this one sees it at once, so no read snapshot was kept.
  std::string error;
  std::unique_ptr<hrzsrv::StoreDb> other =
      hrzsrv::OpenSqliteStoreDb(dir_.File("cache.db"), false, &error);
  ASSERT_TRUE(other) << error;
  ASSERT_TRUE(other->Exec("INSERT INTO T VALUES(4, 'four')", &error)) << error;
  hrzsrv::Statement count(db(), "SELECT count(*) FROM T");
  ASSERT_TRUE(count.Row());
  EXPECT_EQ(count.Int(0), 4);
}

TEST_F(StatementCacheTest, ACachedStatementFollowsAChangeOfTheSchema) {
  constexpr const char* kStar = "SELECT * FROM T WHERE K = 1";
  {
    hrzsrv::Statement before(db(), kStar);
    ASSERT_TRUE(before.Row());
  }
  std::string error;
  ASSERT_TRUE(db().Exec("ALTER TABLE T ADD COLUMN W TEXT DEFAULT 'w'", &error)) << error;
  hrzsrv::Statement after(db(), kStar);
  ASSERT_TRUE(after.Row());
  EXPECT_EQ(after.Text(2), "w");
}

TEST_F(StatementCacheTest, AFailedTransactionRollsBackAndTheNextOneCommits) {
  {
    hrzsrv::Transaction tx(db());
    ASSERT_TRUE(tx.ok());
    EXPECT_TRUE(hrzsrv::Statement(db(), "DELETE FROM T").Done());
  }  // not committed
  {
    hrzsrv::Transaction tx(db());
    ASSERT_TRUE(tx.ok());
    hrzsrv::Statement(db(), "UPDATE T SET V = 'uno' WHERE K = 1").Done();
    EXPECT_TRUE(tx.Commit());
  }
  hrzsrv::Statement read(db(), "SELECT group_concat(V, ',') FROM T");
  ASSERT_TRUE(read.Row());
  EXPECT_EQ(read.Text(0), "uno,two,three");
}

// A raw connection to a plain listener, frame by frame.
class RawClient {
 public:
  explicit RawClient(std::uint16_t port) : socket_(io_) {
    socket_.connect({asio::ip::make_address("127.0.0.1"), port});
  }
  static wire::Bytes Frame(p::Kind kind, const wire::Bytes& body) {
    std::uint8_t header[p::kHeaderSize] = {};
    header[p::kClassByte] = kind.cls;
    header[p::kGroupByte] = kind.group;
    header[p::kCodeByte] = kind.code;
    return wire::EncodeFrame(header, body, 0);
  }
  void Write(const wire::Bytes& bytes) { asio::write(socket_, asio::buffer(bytes)); }
  // The next reply: its header and body.
  wire::Bytes Read() {
    std::uint8_t prefix[p::kFramePrefixSize];
    asio::read(socket_, asio::buffer(prefix));
    wire::FramePrefix decoded;
    EXPECT_TRUE(wire::DecodeFramePrefix(prefix, &decoded));
    wire::Bytes frame(decoded.length);
    asio::read(socket_, asio::buffer(frame));
    return frame;
  }

 private:
  asio::io_context io_;
  asio::ip::tcp::socket socket_;
};

class ConnectionOrderTest : public hrztest::EngineTest {};

// A logon goes to other threads than light requests; the request sent right behind it on
// the same connection must still run after it and be answered after it.
TEST_F(ConnectionOrderTest, ARequestBehindALogonRunsAfterItAndIsAnsweredInOrder) {
  hrzsrv::ServerOptions options;
  options.plain = true;
  options.workers = 2;
  options.passwordWorkers = 1;
  std::string error;
  auto server = hrzsrv::TcpServer::Start(*engine_, options, &error);
  ASSERT_TRUE(server) << error;
  RawClient client(server->port());
  client.Write(RawClient::Frame(p::kHello, {}));
  const wire::Bytes hello = client.Read();
  wire::BodyReader fields(std::span<const std::uint8_t>(hello).subspan(p::kHeaderSize));
  std::span<const std::uint8_t> key, nonce;
  std::string folder;
  std::int32_t version = 0;
  ASSERT_TRUE(fields.Next(&key) && fields.NextText(&folder) && fields.NextInt32(&version) &&
              fields.Next(&nonce));

  wire::BodyWriter logon;
  logon.PutText("adm");
  logon.PutText(SealWith({nonce.begin(), nonce.end()}, 1, hrztest::kAdminPassword));
  logon.PutInt32(260101);
  wire::Bytes burst = RawClient::Frame(p::kLogon, logon.Finish());
  for (int i = 0; i < 3; ++i) {
    const wire::Bytes time = RawClient::Frame(p::kServerTime, {});
    burst.insert(burst.end(), time.begin(), time.end());
  }
  client.Write(burst);
  const std::vector<std::uint8_t> expected = {p::kLogonOk, p::kOk, p::kOk, p::kOk};
  std::vector<std::uint8_t> statuses;
  for (std::size_t i = 0; i < expected.size(); ++i) statuses.push_back(client.Read()[p::kCodeByte]);
  EXPECT_EQ(statuses, expected);
  server->Stop();
}

}  // namespace
