// The sample organisation copied into PostgreSQL: every table row by row, the numbering, and
// the refusals that leave the target as it was. What the client roles may do is in
// pg_client_sql_test.cpp.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "hrzserver/engine.h"
#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"
#include "support/pg_cluster.h"
#include "support/stores.h"

namespace hrztest {
namespace {

using hrzsrv::pg::Connection;
using hrzsrv::pg::Param;
using hrzsrv::pg::Result;
using Rows = std::vector<std::vector<std::string>>;

std::string Exact(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// Rows of sql on an SQLite store, each cell as its type's letter and an exact text.
Rows SqliteRows(const std::string& store, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  Rows rows;
  EXPECT_EQ(sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_NULL:
          row.push_back("null");
          break;
        case SQLITE_INTEGER:
          row.push_back("i" + std::to_string(sqlite3_column_int64(stmt, c)));
          break;
        case SQLITE_FLOAT:
          row.push_back("r" + Exact(sqlite3_column_double(stmt, c)));
          break;
        default: {
          const void* data = sqlite3_column_blob(stmt, c);
          row.push_back("b" + std::string(static_cast<const char*>(data),
                                          static_cast<std::size_t>(sqlite3_column_bytes(stmt, c))));
        }
      }
    }
    rows.push_back(row);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

// The same cells read from PostgreSQL, the column's type deciding how.
Rows PgRows(Connection& db, const std::string& schema, const std::string& table,
            const std::string& columns) {
  const Result types = db.Exec(
      "SELECT data_type FROM information_schema.columns WHERE table_schema = $1 AND "
      "table_name = lower($2) ORDER BY ordinal_position",
      {Param::Text(schema), Param::Text(table)});
  const Result result =
      db.Exec("SELECT " + columns + " FROM " + schema + "." + table + " ORDER BY 1, 2");
  EXPECT_TRUE(result.ok()) << result.error();
  Rows rows;
  for (int r = 0; r < result.Rows(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < result.Columns(); ++c) {
      const std::string type = types.Text(c, 0);
      if (result.IsNull(r, c)) {
        row.push_back("null");
      } else if (type == "bigint") {
        row.push_back("i" + std::to_string(*result.Int(r, c)));
      } else if (type == "double precision") {
        row.push_back("r" + Exact(std::strtod(result.Text(r, c).c_str(), nullptr)));
      } else {
        row.push_back("b" + (type == "bytea" ? result.Bytes(r, c) : result.Text(r, c)));
      }
    }
    rows.push_back(row);
  }
  return rows;
}

class MigrateTest : public PgTest {
 protected:
  void SetUp() override {
    PgTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    store_ = dir_.File("sample.hrz");
    CopySampleStore(store_);
  }
  bool Migrate(std::string* error) {
    return hrzsrv::MigrateToPostgres(store_, location_, nullptr, error);
  }
  std::unique_ptr<Connection> Connect() {
    std::string error;
    std::unique_ptr<Connection> db = Connection::Open(location_, &error);
    EXPECT_NE(db, nullptr) << error;
    return db;
  }
  // The tables of the target, with their schemas; empty when none.
  std::vector<std::string> TargetTables() {
    const Result tables = Connect()->Exec(
        "SELECT table_schema || '.' || table_name FROM information_schema.tables WHERE "
        "table_schema IN ('public', 'hrz_private') ORDER BY 1");
    std::vector<std::string> names;
    for (int r = 0; r < tables.Rows(); ++r) names.push_back(tables.Text(r, 0));
    return names;
  }

  TempDir dir_;
  std::string store_;
};

TEST_F(MigrateTest, CopiesEveryTableRowByRow) {
  std::map<std::string, std::int64_t> reported;
  std::string error;
  ASSERT_TRUE(hrzsrv::MigrateToPostgres(
      store_, location_,
      [&](std::string_view table, std::int64_t copied, std::int64_t total) {
        EXPECT_LE(copied, total);
        reported[std::string(table)] = copied;
      },
      &error))
      << error;
  std::unique_ptr<Connection> db = Connect();
  const Rows tables = SqliteRows(
      store_, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%'");
  ASSERT_GE(tables.size(), 13u);
  for (const std::vector<std::string>& table : tables) {
    const std::string name = table[0].substr(1);
    std::string columns;
    for (const auto& column :
         SqliteRows(store_, "SELECT name FROM pragma_table_info('" + name + "')")) {
      columns += (columns.empty() ? "" : ", ") + column[0].substr(1);
    }
    const std::string schema = name.rfind("SRV_", 0) == 0 ? "hrz_private" : "public";
    const Rows source =
        SqliteRows(store_, "SELECT " + columns + " FROM " + name + " ORDER BY 1, 2");
    const Rows target = PgRows(*db, schema, name, columns);
    // Live sessions and their engines stay with the servers that hold them.
    if (name == "SRV_SESSION" || name == "SRV_PROCESS") {
      EXPECT_TRUE(target.empty());
      continue;
    }
    EXPECT_EQ(target, source) << name;
    EXPECT_EQ(reported[name], static_cast<std::int64_t>(source.size())) << name;
  }
  // What an organisation cannot lose: its users, their hashes and rights, keys and files.
  for (const char* table : {"UUSR", "UUSRBM", "UUSRFN", "SRV_PASSWORD", "SRV_PRIVILEGE", "SRV_KEY",
                            "SRV_TLS", "SRV_FILE"}) {
    EXPECT_GT(reported[table], 0) << table << " is empty in the sample: the check proves nothing";
  }
}

TEST_F(MigrateTest, NewRowsTakeTheNextNumberAndCodesStayUniqueWithoutCase) {
  std::string error;
  ASSERT_TRUE(Migrate(&error)) << error;
  std::unique_ptr<Connection> db = Connect();
  const Rows highest = SqliteRows(store_, "SELECT max(NID) FROM UUSR");
  const Result user =
      db->Exec("INSERT INTO UUSR(CCODE, CSRC) VALUES('newbie', 'UUSRI') RETURNING NID");
  ASSERT_TRUE(user.ok()) << user.error();
  EXPECT_EQ("i" + std::to_string(*user.Int(0, 0) - 1), highest[0][0]);

  const Rows lastLink = SqliteRows(store_, "SELECT max(NID) FROM UUSRBM");
  const Result link = db->Exec("INSERT INTO UUSRBM(NPID, NCID) VALUES(301, $1) RETURNING NID",
                               {Param::Int(*user.Int(0, 0))});
  ASSERT_TRUE(link.ok()) << link.error();
  EXPECT_EQ("i" + std::to_string(*link.Int(0, 0) - 1), lastLink[0][0]);

  const Result twin = db->Exec("INSERT INTO UUSR(CCODE, CSRC) VALUES('ALICE', 'UUSRI')");
  EXPECT_EQ(twin.sqlState(), "23505") << "codes are unique whatever their case";
  EXPECT_EQ(db->Exec("SELECT NID FROM UUSR WHERE CCODE = 'Alice'").Int(0, 0), 308);
}

// A store copied by an earlier version lacks the private tables that came later; the engine
// adds them as it opens the store, and nowhere but in the private schema.
TEST_F(MigrateTest, AStoreCopiedBeforeTheServersBeatGetsTheirTableWhenOpened) {
  std::string error;
  ASSERT_TRUE(Migrate(&error)) << error;
  ASSERT_TRUE(Connect()->Exec("DROP TABLE hrz_private.SRV_PROCESS").ok());
  const std::vector<std::string> before = TargetTables();
  ASSERT_NE(hrzsrv::Engine::Open(location_, nullptr, &error), nullptr) << error;
  std::vector<std::string> after = TargetTables();
  EXPECT_EQ(after.size(), before.size() + 1);
  EXPECT_NE(std::find(after.begin(), after.end(), "hrz_private.srv_process"), after.end());
  EXPECT_NE(hrzsrv::Engine::Open(location_, nullptr, &error), nullptr) << error;
}

TEST_F(MigrateTest, RefusesATargetWithAStoreOrTablesAndLeavesNothingWhenItFails) {
  std::string error;
  ASSERT_TRUE(Migrate(&error)) << error;
  const std::vector<std::string> tables = TargetTables();
  EXPECT_FALSE(Migrate(&error));
  EXPECT_EQ(error, "the target already holds a store (schema hrz_private exists)");
  EXPECT_EQ(TargetTables(), tables);
  EXPECT_EQ(Connect()->Exec("SELECT count(*) FROM UUSR").Int(0, 0), 20);

  // A new database for the refusals below; a copy that fails halfway leaves no table behind.
  location_ = cluster_->NewDatabase();
  Connect()->Exec("CREATE TABLE other(a int)");
  EXPECT_FALSE(Migrate(&error));
  EXPECT_EQ(error, "the target is not empty: its schema public holds tables");

  location_ = cluster_->NewDatabase();
  WriteStore(store_, "CREATE TABLE EXTRA(A INTEGER); INSERT INTO EXTRA VALUES(1)");
  EXPECT_FALSE(Migrate(&error));
  EXPECT_EQ(error, "the store's table EXTRA has no place on PostgreSQL");
  EXPECT_TRUE(TargetTables().empty());

  WriteStore(store_, "DROP TABLE EXTRA; UPDATE UUSR SET NSTAT = 'many' WHERE NID = 308");
  EXPECT_FALSE(Migrate(&error));
  EXPECT_EQ(error.rfind("cannot copy the rows of UUSR: ", 0), 0u) << error;
  EXPECT_TRUE(TargetTables().empty());

  const std::string notAStore = dir_.File("empty.hrz");
  WriteStore(notAStore, "CREATE TABLE UUSR(NID INTEGER)");
  EXPECT_FALSE(hrzsrv::MigrateToPostgres(notAStore, location_, nullptr, &error));
  EXPECT_EQ(error, notAStore + " is not a store (no server key)");
  EXPECT_FALSE(hrzsrv::MigrateToPostgres(dir_.File("none.hrz"), location_, nullptr, &error));
  EXPECT_EQ(error, "cannot read the store " + dir_.File("none.hrz"));
  EXPECT_TRUE(TargetTables().empty());
}

}  // namespace
}  // namespace hrztest
