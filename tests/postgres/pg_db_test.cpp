// The libpq layer against a real database: values bound, never pasted; transactions that
// roll back unless committed; failures as results.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "hrzserver/pg_db.h"
#include "support/pg_cluster.h"

namespace hrztest {
namespace {

using hrzsrv::pg::Connection;
using hrzsrv::pg::Param;
using hrzsrv::pg::Result;
using hrzsrv::pg::Transaction;

class PgDbTest : public PgTest {
 protected:
  void SetUp() override {
    PgTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    std::string error;
    db_ = Connection::Open(location_, &error);
    ASSERT_NE(db_, nullptr) << error;
    ASSERT_TRUE(db_->Exec("CREATE TABLE t(id serial PRIMARY KEY, txt text, num bigint, "
                          "real double precision, raw bytea)")
                    .ok());
  }
  std::int64_t Count() { return db_->Exec("SELECT count(*) FROM t").Int(0, 0).value_or(-1); }

  std::unique_ptr<Connection> db_;
};

TEST_F(PgDbTest, TextsAndBytesComeBackAsTheyWent) {
  const std::string texts[] = {"it's", "'); DROP TABLE t; --", "back\\slash $1", "Grüße 日本",
                               "",     std::string(70000, 'x')};
  for (const std::string& text : texts) {
    const Result in = db_->Exec("INSERT INTO t(txt) VALUES($1) RETURNING id", {Param::Text(text)});
    ASSERT_TRUE(in.ok()) << in.error();
    const Result out = db_->Exec("SELECT txt FROM t WHERE id = $1", {Param::Int(*in.Int(0, 0))});
    EXPECT_EQ(out.Text(0, 0), text);
  }
  const std::string bytes("\0\xff\x01'\\x00", 7);
  ASSERT_TRUE(db_->Exec("INSERT INTO t(id, raw) VALUES(100, $1)", {Param::Bytes(bytes)}).ok());
  EXPECT_EQ(db_->Exec("SELECT raw FROM t WHERE id = 100").Bytes(0, 0), bytes);
  EXPECT_EQ(Count(), 7);  // the quoted statement in a value ran nothing
}

TEST_F(PgDbTest, NumbersAndNullRoundTripExactly) {
  const double reals[] = {0.1, 20261211.074512, -1e308, 5e-324};
  for (const double real : reals) {
    ASSERT_TRUE(db_->Exec("INSERT INTO t(real) VALUES($1)", {Param::Real(real)}).ok());
    const Result out = db_->Exec("SELECT real FROM t WHERE real = $1", {Param::Real(real)});
    ASSERT_EQ(out.Rows(), 1) << real;
    EXPECT_EQ(std::strtod(out.Text(0, 0).c_str(), nullptr), real);
  }
  for (const std::int64_t num : {INT64_MIN, std::int64_t{-1}, INT64_MAX}) {
    const Result out = db_->Exec("SELECT $1::bigint", {Param::Int(num)});
    EXPECT_EQ(out.Int(0, 0), num);
  }
  const Result null = db_->Exec("SELECT $1::text, 'word'", {Param::Null()});
  EXPECT_TRUE(null.IsNull(0, 0));
  EXPECT_EQ(null.Int(0, 0), std::nullopt);
  EXPECT_EQ(null.Int(0, 1), std::nullopt);  // not a whole number
  EXPECT_EQ(null.ColumnName(1), "?column?");
}

TEST_F(PgDbTest, TransactionCommitsOnlyWhenAskedAndWhole) {
  {
    Transaction tx(*db_);
    ASSERT_TRUE(tx.error().empty());
    ASSERT_EQ(db_->Exec("INSERT INTO t(txt) VALUES('dropped')").Affected(), 1);
  }
  EXPECT_EQ(Count(), 0);
  {
    Transaction tx(*db_);
    ASSERT_TRUE(db_->Exec("INSERT INTO t(txt) VALUES('kept')").ok());
    std::string error;
    EXPECT_TRUE(tx.Commit(&error)) << error;
    EXPECT_FALSE(tx.Commit(&error));  // once only
  }
  EXPECT_EQ(Count(), 1);
  {
    // A failed statement fails the whole transaction: its commit reports the rollback.
    Transaction tx(*db_);
    ASSERT_TRUE(db_->Exec("INSERT INTO t(txt) VALUES('half')").ok());
    EXPECT_FALSE(db_->Exec("INSERT INTO t(id) VALUES('not a number')").ok());
    std::string error;
    EXPECT_FALSE(tx.Commit(&error));
    EXPECT_EQ(error, "the transaction was rolled back");
  }
  EXPECT_EQ(Count(), 1);
}

TEST_F(PgDbTest, FailuresAreResultsWithTheReason) {
  const Result syntax = db_->Exec("SELEC 1");
  EXPECT_FALSE(syntax.ok());
  EXPECT_EQ(syntax.sqlState(), "42601");
  EXPECT_NE(syntax.error().find("syntax error"), std::string::npos) << syntax.error();

  const Result nul =
      db_->Exec("INSERT INTO t(txt) VALUES($1)", {Param::Text(std::string("a\0b", 3))});
  EXPECT_FALSE(nul.ok());
  EXPECT_EQ(nul.error(), "a text value holds a NUL character");
  EXPECT_EQ(Count(), 0);

  std::string error;
  EXPECT_EQ(Connection::Open("/tmp/store.hrz", &error), nullptr);
  EXPECT_EQ(error, "/tmp/store.hrz is not a postgresql:// location");
  EXPECT_EQ(Connection::Open("postgresql:///none?host=/nonexistent", &error), nullptr);
  EXPECT_EQ(error.rfind("cannot connect to PostgreSQL: ", 0), 0u) << error;
}

TEST(PgLocationTest, OnlyPostgresLocationsAreTaken) {
  EXPECT_TRUE(hrzsrv::pg::IsPostgresLocation("postgresql://db.example/org"));
  EXPECT_TRUE(hrzsrv::pg::IsPostgresLocation("POSTGRES://db/org"));
  EXPECT_FALSE(hrzsrv::pg::IsPostgresLocation("postgresql:/db"));
  EXPECT_FALSE(hrzsrv::pg::IsPostgresLocation("store.hrz"));
  EXPECT_FALSE(hrzsrv::pg::IsPostgresLocation("tcp://127.0.0.1:7400"));
}

}  // namespace
}  // namespace hrztest
