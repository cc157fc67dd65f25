// What the engine may rely on from its store connection, whichever kind holds the store. Each
// kind is one line of kKinds: a factory of new stores as "hrzserver init" leaves them (the
// administrator NID 1 under the root NID 2, new records numbered above 300).
#include <gtest/gtest.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "hrzserver/pg_store.h"
#include "pg_store_db.h"
#include "sqlite_store_db.h"
#include "store_db.h"
#include "support/pg_cluster.h"
#include "support/stores.h"
#include "support/temp_dir.h"

namespace hrztest {
namespace {

using hrzsrv::StoreDb;
using hrzsrv::StoreFailure;
using hrzsrv::StoreStatement;

// One new store that hands out connections to itself.
class TestStore {
 public:
  virtual ~TestStore() = default;
  virtual std::unique_ptr<StoreDb> Connect(std::string* error) = 0;
};

struct StoreKindCase {
  const char* name;
  // A new store; null with the reason in why, and skip set where the kind cannot run here.
  std::function<std::unique_ptr<TestStore>(std::string* why, bool* skip)> make;
};

// A new SQLite store file in a temporary folder.
class SqliteTestStore : public TestStore {
 public:
  static std::unique_ptr<TestStore> Make(std::string* why, bool*) {
    auto store = std::make_unique<SqliteTestStore>();
    store->path_ = store->dir_.File("store.db");
    if (!CreateBareStore(store->path_, why)) return nullptr;
    return store;
  }
  std::unique_ptr<StoreDb> Connect(std::string* error) override {
    return hrzsrv::OpenSqliteStoreDb(path_, false, error);
  }

 private:
  TempDir dir_;
  std::string path_;
};

// A new database of the shared throw-away cluster, filled by hrzserver migrate from a new
// SQLite store.
class PgTestStore : public TestStore {
 public:
  static std::unique_ptr<TestStore> Make(std::string* why, bool* skip) {
    bool installed = false;
    PgCluster* cluster = PgCluster::Shared(why, &installed);
    *skip = !installed;
    if (cluster == nullptr) return nullptr;
    auto store = std::make_unique<PgTestStore>();
    store->location_ = cluster->NewDatabase();
    const std::string source = store->dir_.File("init.db");
    if (store->location_.empty()) {
      *why = "cannot create a database in the test cluster";
      return nullptr;
    }
    if (!CreateBareStore(source, why) ||
        !hrzsrv::MigrateToPostgres(source, store->location_, {}, why)) {
      return nullptr;
    }
    return store;
  }
  std::unique_ptr<StoreDb> Connect(std::string* error) override {
    return hrzsrv::OpenPgStoreDb(location_, error);
  }

 private:
  TempDir dir_;
  std::string location_;
};

void PrintTo(const StoreKindCase& kind, std::ostream* out) {
  *out << kind.name;
}

const StoreKindCase kKinds[] = {
    {"Sqlite", SqliteTestStore::Make},
    {"Postgres", PgTestStore::Make},
};

class StoreDbContract : public ::testing::TestWithParam<StoreKindCase> {
 protected:
  void SetUp() override {
    std::string why;
    bool skip = false;
    store_ = GetParam().make(&why, &skip);
    if (skip) GTEST_SKIP() << why;
    ASSERT_NE(store_, nullptr) << why;
    db_ = Connect();
    ASSERT_NE(db_, nullptr);
    // ENG (301) under the root, alice (308) in ENG.
    for (const char* sql :
         {"INSERT INTO UUSR(NID, CCODE, CNAME, CSRC) VALUES(301, 'ENG', 'Engineering', 'UDEPT')",
          "INSERT INTO UUSR(NID, CCODE, CNAME, CSRC) VALUES(308, 'alice', 'Alice', 'UUSER')",
          "INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(2, 301, 'T')",
          "INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(301, 308, 'T')"}) {
      ASSERT_TRUE(Run(*db_, sql)) << sql << ": " << db_->LastError();
    }
  }

  std::unique_ptr<StoreDb> Connect() {
    std::string error;
    std::unique_ptr<StoreDb> db = store_->Connect(&error);
    EXPECT_NE(db, nullptr) << error;
    return db;
  }

  // Runs a statement without values or rows; false when it fails.
  static bool Run(StoreDb& db, const std::string& sql) {
    std::unique_ptr<StoreStatement> statement = db.Prepare(sql);
    if (!statement) return false;
    statement->Step();
    return !statement->Failed();
  }

  // The first column of the first row of sql with one integer bound to ?1, or -1.
  static std::int64_t Number(StoreDb& db, const std::string& sql, std::int64_t value = 0) {
    std::unique_ptr<StoreStatement> statement = db.Prepare(sql);
    if (!statement) return -1;
    if (sql.find('?') != std::string::npos) statement->BindInt(1, value);
    return statement->Step() ? statement->Int(0) : -1;
  }

  std::unique_ptr<TestStore> store_;
  std::unique_ptr<StoreDb> db_;
};

TEST_P(StoreDbContract, ValuesComeBackAsBoundWithTheirType) {
  const std::string texts[] = {"it's",       "say \"hi\"", "'); DELETE FROM UUSR; --", "?1 ? $1 :a",
                               "Grüße 日本", "",           std::string(70000, 'x')};
  const std::string blobs[] = {std::string("\0\xff'\\x00\"", 8), std::string(1, '\0'), ""};
  const double reals[] = {20261211.074512, 0.1, -1e308, 5e-324, 0.0};
  const std::int64_t ints[] = {std::numeric_limits<std::int64_t>::min(), -1, 0,
                               std::numeric_limits<std::int64_t>::max()};
  std::int64_t nid = 100;
  for (const std::string& text : texts) {
    std::unique_ptr<StoreStatement> in =
        db_->Prepare("INSERT INTO SRV_LOG(NID, CTEXT) VALUES(?, ?)");
    in->BindInt(1, ++nid);
    in->BindText(2, text);
    in->Step();
    ASSERT_FALSE(in->Failed()) << db_->LastError();
    std::unique_ptr<StoreStatement> out = db_->Prepare("SELECT CTEXT FROM SRV_LOG WHERE NID = ?");
    out->BindInt(1, nid);
    ASSERT_TRUE(out->Step()) << db_->LastError();
    EXPECT_EQ(out->Text(0), text);
    EXPECT_EQ(out->CellAt(0), (hrzsrv::Cell{SQLITE_TEXT, 0, text}));
    EXPECT_FALSE(out->Step());
  }
  for (const std::string& blob : blobs) {
    std::unique_ptr<StoreStatement> in =
        db_->Prepare("INSERT INTO SRV_FILE(CNAME, BDATA) VALUES(?, ?)");
    in->BindText(1, "f" + std::to_string(blob.size()));
    in->BindBlob(2, blob);
    in->Step();
    ASSERT_FALSE(in->Failed()) << db_->LastError();
    std::unique_ptr<StoreStatement> out =
        db_->Prepare("SELECT BDATA FROM SRV_FILE WHERE CNAME = ?");
    out->BindText(1, "f" + std::to_string(blob.size()));
    ASSERT_TRUE(out->Step());
    EXPECT_EQ(out->Blob(0), blob);
    EXPECT_EQ(out->CellAt(0), (hrzsrv::Cell{SQLITE_BLOB, 0, blob}));
  }
  for (const double real : reals) {
    std::unique_ptr<StoreStatement> in =
        db_->Prepare("INSERT INTO SRV_LOG(NID, DTIME) VALUES(?, ?)");
    in->BindInt(1, ++nid);
    in->BindReal(2, real);
    in->Step();
    ASSERT_FALSE(in->Failed()) << db_->LastError();
    std::unique_ptr<StoreStatement> out =
        db_->Prepare("SELECT DTIME, NID FROM SRV_LOG WHERE DTIME = ?1 AND NID = ?2");
    out->BindReal(1, real);
    out->BindInt(2, nid);
    ASSERT_TRUE(out->Step()) << real << ": " << db_->LastError();
    EXPECT_EQ(out->Real(0), real);
    EXPECT_EQ(out->CellAt(0).type, SQLITE_FLOAT);
  }
  for (const std::int64_t value : ints) {
    std::unique_ptr<StoreStatement> in =
        db_->Prepare("INSERT INTO SRV_LOG(NID, NUSER, CTEXT) VALUES(?, ?, ?)");
    in->BindInt(1, ++nid);
    in->BindInt(2, value);
    in->BindNull(3);
    in->Step();
    ASSERT_FALSE(in->Failed()) << db_->LastError();
    std::unique_ptr<StoreStatement> out =
        db_->Prepare("SELECT NUSER, CTEXT FROM SRV_LOG WHERE NID = ?");
    out->BindInt(1, nid);
    ASSERT_TRUE(out->Step());
    EXPECT_EQ(out->Int(0), value);
    EXPECT_EQ(out->CellAt(0), (hrzsrv::Cell{SQLITE_INTEGER, value, {}}));
    EXPECT_TRUE(out->IsNull(1));
    EXPECT_TRUE(out->CellAt(1).IsNull());
  }
}

TEST_P(StoreDbContract, PlaceholdersInLiteralsAndCommentsStayTextAndNumberedOnesRepeat) {
  std::unique_ptr<StoreStatement> select = db_->Prepare(
      "SELECT 'it''s ?', ?1 + ?1, '?2' /* ?3 */, CCODE -- ?\n"
      "FROM UUSR WHERE NID = ?2 OR NID = ?1 ORDER BY NID");
  ASSERT_NE(select, nullptr) << db_->LastError();
  select->BindInt(1, 301);
  select->BindInt(2, 308);
  ASSERT_TRUE(select->Step()) << db_->LastError();
  EXPECT_EQ(select->Columns(), 4);
  EXPECT_EQ(select->Text(0), "it's ?");
  EXPECT_EQ(select->Int(1), 602);
  EXPECT_EQ(select->Text(2), "?2");
  EXPECT_EQ(select->Text(3), "ENG");
  ASSERT_TRUE(select->Step());
  EXPECT_EQ(select->Text(3), "alice");
  EXPECT_FALSE(select->Step());
  EXPECT_FALSE(select->Failed());
  EXPECT_FALSE(select->Step());  // stays at the end
}

TEST_P(StoreDbContract, CodesAreFoundWithoutRegardToCase) {
  for (const char* code : {"ALICE", "alice", "Alice"}) {
    std::unique_ptr<StoreStatement> find = db_->Prepare("select NID from UUSR where CCODE = ?");
    find->BindText(1, code);
    ASSERT_TRUE(find->Step()) << code << ": " << db_->LastError();
    EXPECT_EQ(find->Int(0), 308) << code;
  }
}

TEST_P(StoreDbContract, FailuresSayWhichRuleAndLeaveNothing) {
  struct Case {
    const char* sql;
    StoreFailure failure;
    const char* message;  // the whole message where it is the store's own
  };
  const Case cases[] = {
      {"INSERT INTO UUSR(CCODE, CSRC) VALUES('ALICE', 'UUSER')", StoreFailure::kUnique, nullptr},
      {"INSERT INTO UUSR(NID, CCODE, CSRC) VALUES(301, 'other', 'UUSER')", StoreFailure::kUnique,
       nullptr},
      {"INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(308, 301, 'T')",
       StoreFailure::kOrganisationRule, "a record hangs only under a department or role"},
      {"INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(301, 9999, 'T')",
       StoreFailure::kOrganisationRule, "no such record in the organisation"},
      {"UPDATE UUSRBM SET NPID = 301 WHERE NCID = 2", StoreFailure::kOrganisationRule,
       "the organisation's root stays at the top"},
      {"DELETE FROM UUSRBM WHERE NCID = 1", StoreFailure::kOrganisationRule,
       "the administrator keeps a place in the organisation"},
      {"UPDATE UUSRBM SET NPID = 301 WHERE NCID = 301", StoreFailure::kOrganisationRule,
       "a record cannot hang below itself"},
      {"INSERT INTO NO_SUCH_TABLE(A) VALUES(1)", StoreFailure::kOther, nullptr},
  };
  const std::int64_t users = Number(*db_, "SELECT count(*) FROM UUSR");
  const std::int64_t links = Number(*db_, "SELECT count(*) FROM UUSRBM");
  for (const Case& c : cases) {
    std::unique_ptr<StoreStatement> statement = db_->Prepare(c.sql);
    if (statement) {
      EXPECT_FALSE(statement->Step()) << c.sql;
      EXPECT_TRUE(statement->Failed()) << c.sql;
    }
    EXPECT_EQ(db_->LastFailure(), c.failure) << c.sql << ": " << db_->LastError();
    if (c.message) {
      EXPECT_EQ(db_->LastError(), c.message) << c.sql;
    }
    EXPECT_FALSE(db_->LastError().empty()) << c.sql;
  }
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM UUSR"), users);
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM UUSRBM"), links);
  EXPECT_EQ(db_->LastFailure(), StoreFailure::kNone);  // a success clears the failure
  EXPECT_EQ(db_->Prepare("SELEC 1"), nullptr);
  EXPECT_FALSE(db_->LastError().empty());
}

TEST_P(StoreDbContract, WritersTakeTurnsAndSeeEachOthersCommits) {
  std::unique_ptr<StoreDb> other = Connect();
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(db_->BeginWrite()) << db_->LastError();
  ASSERT_EQ(Number(*db_, "SELECT count(*) FROM SRV_LOG"), 0);
  std::atomic<bool> otherBegan{false};
  std::int64_t seenByOther = -1;
  std::thread second([&] {
    if (!other->BeginWrite()) return;
    otherBegan = true;
    // Read inside its own turn: the first writer's row is there, or the turns failed.
    seenByOther = Number(*other, "SELECT count(*) FROM SRV_LOG");
    Run(*other, "INSERT INTO SRV_LOG(CTEXT) VALUES('second')");
    other->Commit();
  });
  // The first writer reads, waits a little and writes what it read; the second must not
  // have started in between.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(otherBegan);
  EXPECT_TRUE(Run(*db_, "INSERT INTO SRV_LOG(CTEXT) VALUES('first')")) << db_->LastError();
  ASSERT_TRUE(db_->Commit()) << db_->LastError();
  second.join();
  EXPECT_TRUE(otherBegan) << other->LastError();
  EXPECT_EQ(seenByOther, 1);
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM SRV_LOG"), 2);
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM SRV_LOG WHERE CTEXT = 'second'"), 1);
}

// A writer held up by another gives up after its limit instead of waiting for ever, whether
// it waits for the writers' turn or for a row, and the store answers it again once free.
TEST_P(StoreDbContract, AWriterHeldUpLongerThanItsLimitFails) {
  std::unique_ptr<StoreDb> other = Connect();
  ASSERT_NE(other, nullptr);
  other->LimitWait(std::chrono::milliseconds(100));
  ASSERT_TRUE(db_->BeginWrite()) << db_->LastError();
  ASSERT_TRUE(Run(*db_, "UPDATE UUSR SET CNAME = 'held' WHERE NID = 308"));
  EXPECT_FALSE(other->BeginWrite());
  EXPECT_FALSE(Run(*other, "UPDATE UUSR SET CNAME = 'other' WHERE NID = 308"));
  ASSERT_TRUE(db_->Commit()) << db_->LastError();
  EXPECT_TRUE(Run(*other, "UPDATE UUSR SET CNAME = 'other' WHERE NID = 308")) << other->LastError();
  ASSERT_TRUE(other->BeginWrite()) << other->LastError();
  other->Rollback();
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM UUSR WHERE CNAME = 'other'"), 1);
}

TEST_P(StoreDbContract, RollbackLeavesNothingAndSingleStatementsCommitAlone) {
  std::unique_ptr<StoreDb> other = Connect();
  ASSERT_NE(other, nullptr);
  const std::int64_t users = Number(*other, "SELECT count(*) FROM UUSR");
  ASSERT_TRUE(db_->BeginWrite());
  ASSERT_TRUE(Run(*db_, "INSERT INTO UUSR(CCODE, CSRC) VALUES('bob', 'UUSER')"));
  const std::int64_t bob = db_->LastInsertId();
  ASSERT_TRUE(Run(
      *db_, "INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(301, " + std::to_string(bob) + ", 'T')"));
  ASSERT_TRUE(Run(*db_, "UPDATE UUSR SET CNAME = 'changed' WHERE NID = 308"));
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM UUSR"), users + 1);
  db_->Rollback();
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM UUSR"), users);
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM UUSRBM WHERE NCID = ?", bob), 0);
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM UUSR WHERE CNAME = 'changed'"), 0);
  EXPECT_FALSE(db_->Commit());  // nothing is open any more

  ASSERT_TRUE(Run(*db_, "INSERT INTO UUSR(CCODE, CSRC) VALUES('carol', 'UUSER')"));
  EXPECT_EQ(Number(*other, "SELECT count(*) FROM UUSR WHERE CCODE = 'carol'"), 1);
}

TEST_P(StoreDbContract, LastInsertIdIsTheNidOfTheRowWritten) {
  ASSERT_TRUE(Run(*db_, "INSERT INTO UUSR(CCODE, CSRC) VALUES('bob', 'UUSER')"));
  const std::int64_t bob = db_->LastInsertId();
  EXPECT_GT(bob, 308);  // above the system range and every NID written
  EXPECT_EQ(Number(*db_, "SELECT NID FROM UUSR WHERE CCODE = 'bob'"), bob);

  // A row that brings its NID: that NID, and the next numbered row comes above it.
  ASSERT_TRUE(Run(*db_, "INSERT INTO UUSR(CCODE, NID, CSRC) VALUES('far', 5000, 'UUSER')"));
  EXPECT_EQ(db_->LastInsertId(), 5000);
  ASSERT_TRUE(Run(*db_, "INSERT INTO UUSR(CCODE, CSRC) VALUES('next', 'UUSER')"))
      << db_->LastError();
  EXPECT_EQ(db_->LastInsertId(), 5001);
  // A row below the numbering leaves it where it is.
  ASSERT_TRUE(Run(*db_, "INSERT INTO UUSR(NID, CCODE, CSRC) VALUES(400, 'low', 'UUSER')"));
  EXPECT_EQ(db_->LastInsertId(), 400);
  ASSERT_TRUE(Run(*db_, "INSERT INTO UUSR(CCODE, CSRC) VALUES('later', 'UUSER')"));
  EXPECT_EQ(db_->LastInsertId(), 5002);

  // Links number apart from records; neither a failed insert nor an update moves the id.
  ASSERT_TRUE(Run(*db_, "INSERT INTO UUSRBM(NPID, NCID, CVWA) VALUES(301, 5000, 'T')"));
  const std::int64_t link = db_->LastInsertId();
  EXPECT_EQ(Number(*db_, "SELECT NID FROM UUSRBM WHERE NCID = 5000"), link);
  EXPECT_FALSE(Run(*db_, "INSERT INTO UUSR(CCODE, CSRC) VALUES('BOB', 'UUSER')"));
  EXPECT_TRUE(Run(*db_, "UPDATE UUSR SET CNAME = 'x' WHERE NID = 308"));
  EXPECT_EQ(db_->LastInsertId(), link);
}

TEST_P(StoreDbContract, ChangesCountTheRowsTheLastWriteTouched) {
  struct Case {
    const char* sql;
    std::int64_t changes;
  };
  const Case cases[] = {
      {"INSERT INTO SRV_LOG(CTEXT) VALUES('a'), ('b'), ('c')", 3},
      {"UPDATE SRV_LOG SET CVALUE = 'v' WHERE CTEXT <> 'a'", 2},
      {"UPDATE SRV_LOG SET CVALUE = 'v' WHERE CTEXT = 'none'", 0},
      {"DELETE FROM SRV_LOG", 3},
      {"INSERT INTO SRV_SETTING(CSECTION, CKEY, CVALUE) VALUES('s', 'k', '1') ON "
       "CONFLICT(CSECTION, "
       "CKEY) DO UPDATE SET CVALUE = excluded.CVALUE",
       1},
      {"INSERT INTO SRV_SETTING(CSECTION, CKEY, CVALUE) VALUES('S', 'K', '2') ON "
       "CONFLICT(CSECTION, "
       "CKEY) DO UPDATE SET CVALUE = excluded.CVALUE",
       1},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Run(*db_, c.sql)) << c.sql << ": " << db_->LastError();
    EXPECT_EQ(db_->Changes(), c.changes) << c.sql;
  }
  EXPECT_EQ(Number(*db_, "SELECT count(*) FROM SRV_SETTING WHERE CVALUE = '2'"), 1);
  EXPECT_EQ(db_->Changes(), 1);  // a query leaves the count of the last write
}

std::string KindName(const ::testing::TestParamInfo<StoreKindCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Kinds, StoreDbContract, ::testing::ValuesIn(kKinds), KindName);

}  // namespace
}  // namespace hrztest
