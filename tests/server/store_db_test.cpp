// The SQLite store behind the engine's store interface: why a statement failed, and how the
// writers of one process take turns.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sqlite_store_db.h"
#include "statement.h"
#include "store.h"
#include "support/temp_dir.h"
#include "writer_turns.h"

namespace {

using hrzsrv::StoreFailure;

class SqliteStoreDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    db_ = hrzsrv::OpenSqliteStoreDb(path_, true, &error);
    ASSERT_TRUE(db_) << error;
    ASSERT_TRUE(hrzsrv::CreateSchema(*db_, "not a real hash", &error)) << error;
  }

  hrztest::TempDir dir_;
  std::string path_ = dir_.File("store.db");
  std::unique_ptr<hrzsrv::StoreDb> db_;
};

TEST_F(SqliteStoreDbTest, AFailedStatementSaysWhyAndTheNextOneStartsClean) {
  struct Case {
    const char* sql;
    StoreFailure failure;
    const char* message;  // part of LastError(), for the failures
  } cases[] = {
      // The code is unique without regard to case.
      {"INSERT INTO UUSR(CCODE, CSRC) VALUES('ADM', 'UUSRI')", StoreFailure::kUnique, "CCODE"},
      {"INSERT INTO SRV_PASSWORD(NID, CHASH) VALUES(1, 'x')", StoreFailure::kUnique, "NID"},
      {"INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(1, 2, 'T')", StoreFailure::kOrganisationRule,
       "the organisation's root stays at the top"},
      {"DELETE FROM UUSRBM WHERE NCID = 1", StoreFailure::kOrganisationRule,
       "the administrator keeps a place in the organisation"},
      {"INSERT INTO UUSR(CCODE, CSRC) VALUES('x', 'A SOURCE OF MORE THAN 16')",
       StoreFailure::kOther, "CHECK"},
      {"INSERT INTO NO_SUCH_TABLE VALUES(1)", StoreFailure::kOther, "NO_SUCH_TABLE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    hrzsrv::Statement statement(*db_, c.sql);
    EXPECT_FALSE(statement.Done());
    EXPECT_EQ(db_->LastFailure(), c.failure);
    EXPECT_NE(db_->LastError().find(c.message), std::string::npos) << db_->LastError();

    hrzsrv::Statement fine(*db_, "INSERT INTO UUSR(CCODE, CSRC) VALUES(?, 'UUSRI')");
    fine.Bind(1, std::string("user") + std::to_string(&c - cases));
    ASSERT_TRUE(fine.Done());
    EXPECT_EQ(db_->LastFailure(), StoreFailure::kNone);
    EXPECT_EQ(db_->Changes(), 1);
    // New records are numbered on from the last system NID.
    EXPECT_EQ(db_->LastInsertId(), 301 + (&c - cases));
  }
}

TEST_F(SqliteStoreDbTest, OpenStoreDbTellsWhyAStoreCannotBeOpened) {
  std::string error;
  std::unique_ptr<hrzsrv::StoreDb> file = hrzsrv::OpenStoreDb(path_, false, &error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(file->kind(), hrzsrv::StoreKind::kSqlite);
  EXPECT_NE(file->sqlite(), nullptr);

  // Port 1 has no PostgreSQL behind it.
  EXPECT_FALSE(hrzsrv::OpenStoreDb("postgresql://127.0.0.1:1/hrz", false, &error));
  EXPECT_EQ(error.rfind("cannot connect to PostgreSQL: ", 0), 0u) << error;
  EXPECT_FALSE(hrzsrv::OpenStoreDb(dir_.File("missing.db"), false, &error));
  EXPECT_NE(error.find("missing.db"), std::string::npos) << error;
}

// Two connections of one process, each counting up in its own write transactions: every
// transaction begins and commits, and no increment is lost.
TEST_F(SqliteStoreDbTest, WritersOfOneProcessBothSucceedAndSeeEachOthersWrites) {
  ASSERT_TRUE(
      db_->Exec("CREATE TABLE COUNTER(N INTEGER); INSERT INTO COUNTER VALUES(0);", nullptr));
  constexpr int kRounds = 100;
  std::atomic<int> failures{0};
  auto count = [&] {
    std::string error;
    std::unique_ptr<hrzsrv::StoreDb> db = hrzsrv::OpenSqliteStoreDb(path_, false, &error);
    if (!db) {
      ++failures;
      return;
    }
    for (int i = 0; i < kRounds; ++i) {
      hrzsrv::Transaction tx(*db);
      hrzsrv::Statement read(*db, "SELECT N FROM COUNTER");
      if (!tx.ok() || !read.Row()) {
        ++failures;
        continue;
      }
      hrzsrv::Statement write(*db, "UPDATE COUNTER SET N = ?");
      write.Bind(1, read.Int(0) + 1);
      if (!write.Done() || !tx.Commit()) ++failures;
    }
  };
  std::thread first(count), second(count);
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);
  hrzsrv::Statement total(*db_, "SELECT N FROM COUNTER");
  ASSERT_TRUE(total.Row());
  EXPECT_EQ(total.Int(0), 2 * kRounds);
}

TEST_F(SqliteStoreDbTest, ABeginInsideATransactionFailsAtOnceAndKeepsTheTransaction) {
  ASSERT_TRUE(db_->BeginWrite());
  const auto before = std::chrono::steady_clock::now();
  EXPECT_FALSE(db_->BeginWrite());
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  ASSERT_TRUE(hrzsrv::Statement(*db_, "DELETE FROM SRV_FILE").Done());
  EXPECT_TRUE(db_->Commit());
  // The turn went with the commit: another connection writes at once.
  std::string error;
  std::unique_ptr<hrzsrv::StoreDb> other = hrzsrv::OpenSqliteStoreDb(path_, false, &error);
  ASSERT_TRUE(other) << error;
  hrzsrv::Transaction tx(*other);
  EXPECT_TRUE(tx.ok());
  EXPECT_TRUE(tx.Commit());
}

TEST(WriterTurnsTest, WritersGetTheTurnInTheOrderTheyCame) {
  hrzsrv::WriterTurns turns;
  ASSERT_TRUE(turns.Take(std::chrono::milliseconds(0)));
  std::vector<int> order;  // written only by the holder of the turn
  std::vector<std::thread> writers;
  for (int i = 0; i < 4; ++i) {
    writers.emplace_back([&, i] {
      ASSERT_TRUE(turns.Take(std::chrono::seconds(30)));
      order.push_back(i);
      turns.Release();
    });
    // The next writer comes only once this one waits.
    while (turns.Waiting() != static_cast<std::size_t>(i + 1)) std::this_thread::yield();
  }
  turns.Release();
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(turns.Waiting(), 0u);
}

TEST(WriterTurnsTest, AWriterWhoseTurnDoesNotComeGivesUpAndLeavesTheQueue) {
  hrzsrv::WriterTurns turns;
  ASSERT_TRUE(turns.Take(std::chrono::milliseconds(0)));
  EXPECT_FALSE(turns.Take(std::chrono::milliseconds(20)));
  EXPECT_EQ(turns.Waiting(), 0u);
  turns.Release();
  // Nobody waits any more, so the turn is free at once.
  EXPECT_TRUE(turns.Take(std::chrono::milliseconds(0)));
  turns.Release();
}

TEST(WriterTurnsTest, ConnectionsToOneFileShareTheirTurns) {
  hrztest::TempDir dir;
  const auto a = hrzsrv::WriterTurns::ForFile(dir.File("a.db"));
  EXPECT_EQ(a, hrzsrv::WriterTurns::ForFile(dir.File("a.db")));
  EXPECT_NE(a, hrzsrv::WriterTurns::ForFile(dir.File("b.db")));
}

}  // namespace
