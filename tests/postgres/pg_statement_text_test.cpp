// The engine's statement texts as PostgreSQL gets them: "?" and "?N" become "$N" wherever
// they are placeholders and nowhere else; an INSERT is read for the NID of its rows.
#include <gtest/gtest.h>

#include <string>

#include "pg_statement_text.h"

namespace hrztest {
namespace {

using hrzsrv::PgStatementText;
using hrzsrv::TranslateForPostgres;

TEST(PgStatementText, PlaceholdersBecomeNumberedOnlyOutsideQuotesAndComments) {
  struct Case {
    const char* sql;
    const char* text;
    int parameters;
  };
  const Case cases[] = {
      {"SELECT ?, ? FROM t WHERE a=?", "SELECT $1, $2 FROM t WHERE a=$3", 3},
      {"SELECT ?2, ?1, ?2", "SELECT $2, $1, $2", 2},
      {"SELECT ?12", "SELECT $12", 12},
      {"SELECT '?', 'it''s ?', ?", "SELECT '?', 'it''s ?', $1", 1},
      {"SELECT \"a?\"\"?\" FROM t WHERE x = ?", "SELECT \"a?\"\"?\" FROM t WHERE x = $1", 1},
      {"SELECT ? -- why ?\n, ?", "SELECT $1 -- why ?\n, $2", 2},
      {"SELECT /* ? /* ? */ ? */ ?", "SELECT /* ? /* ? */ ? */ $1", 1},
      {"SELECT E'\\' ?', e'?\\\\', ?", "SELECT E'\\' ?', e'?\\\\', $1", 1},
      {"SELECT '\\', ?", "SELECT '\\', $1", 1},  // a backslash is a character in '...'
      {"SELECT $tag$ ? $x$ ? $tag$, $$?$$, ?", "SELECT $tag$ ? $x$ ? $tag$, $$?$$, $1", 1},
      {"SELECT a$b, ?", "SELECT a$b, $1", 1},
      {"SELECT 'Grüße ?', ?", "SELECT 'Grüße ?', $1", 1},
      {"SELECT 1", "SELECT 1", 0},
  };
  for (const Case& c : cases) {
    PgStatementText out;
    std::string error;
    ASSERT_TRUE(TranslateForPostgres(c.sql, &out, &error)) << c.sql << ": " << error;
    EXPECT_EQ(out.text, c.text) << c.sql;
    EXPECT_EQ(out.parameters, c.parameters) << c.sql;
  }
}

TEST(PgStatementText, RefusesWhatItCannotTranslateSafely) {
  struct Case {
    const char* sql;
    const char* error;
  };
  const Case cases[] = {
      {"SELECT ?, ?1", "either with ? or with ?N"},
      {"SELECT ?1, ?", "either with ? or with ?N"},
      {"SELECT ?0", "out of range"},
      {"SELECT ?65536", "out of range"},
      {"SELECT ?99999999999999999999", "out of range"},
      {"SELECT 'open ?", "string literal is not closed"},
      {"SELECT E'open \\' ?", "string literal is not closed"},
      {"SELECT \"open ?", "quoted name is not closed"},
      {"SELECT /* open /* */ ?", "comment is not closed"},
      {"SELECT $a$ open ?", "dollar-quoted text is not closed"},
  };
  for (const Case& c : cases) {
    PgStatementText out;
    std::string error;
    EXPECT_FALSE(TranslateForPostgres(c.sql, &out, &error)) << c.sql;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.sql << ": " << error;
  }
}

TEST(PgStatementText, ReadsTheTableAndNidOfAnInsert) {
  struct Case {
    const char* sql;
    const char* table;
    bool ownNid;
    bool returning;
    const char* upToEnd;  // the text up to its last token
  };
  const Case cases[] = {
      {"INSERT INTO UUSR(CCODE, CSRC) VALUES(?, 'UUSER')", "UUSR", false, false,
       "INSERT INTO UUSR(CCODE, CSRC) VALUES($1, 'UUSER')"},
      {"insert into UUSR (NID, CCODE) values (?, ?) ; -- done", "UUSR", true, false,
       "insert into UUSR (NID, CCODE) values ($1, $2)"},
      {"INSERT INTO hrz_private.SRV_LOG(nId) SELECT 5", "hrz_private.SRV_LOG", true, false,
       "INSERT INTO hrz_private.SRV_LOG(nId) SELECT 5"},
      {"INSERT INTO \"uusr\"(\"nid\") VALUES(1)", "\"uusr\"", true, false,
       "INSERT INTO \"uusr\"(\"nid\") VALUES(1)"},
      {"INSERT INTO UUSR(\"NID\") VALUES(1)", "UUSR", false, false,
       "INSERT INTO UUSR(\"NID\") VALUES(1)"},  // "NID" quoted is another column
      {"INSERT INTO UUSR VALUES(7, 'x')", "UUSR", true, false, "INSERT INTO UUSR VALUES(7, 'x')"},
      {"INSERT INTO UUSR DEFAULT VALUES", "UUSR", false, false, "INSERT INTO UUSR DEFAULT VALUES"},
      {"INSERT INTO UUSRBM(NPID, NCID) SELECT NID, 2 FROM UUSR", "UUSRBM", false, false,
       "INSERT INTO UUSRBM(NPID, NCID) SELECT NID, 2 FROM UUSR"},
      {"INSERT INTO t AS x(a) VALUES(1) ON CONFLICT(a) DO UPDATE SET a = x.a RETURNING a", "t",
       false, true,
       "INSERT INTO t AS x(a) VALUES(1) ON CONFLICT(a) DO UPDATE SET a = x.a RETURNING a"},
      {"UPDATE UUSR SET CNAME = ? WHERE NID = ?", "", false, false,
       "UPDATE UUSR SET CNAME = $1 WHERE NID = $2"},
      {"WITH n AS (SELECT 1) INSERT INTO t(NID) SELECT * FROM n", "", false, false,
       "WITH n AS (SELECT 1) INSERT INTO t(NID) SELECT * FROM n"},
      {"SELECT (SELECT 1 RETURNING)", "", false, false, "SELECT (SELECT 1 RETURNING)"},
  };
  for (const Case& c : cases) {
    PgStatementText out;
    std::string error;
    ASSERT_TRUE(TranslateForPostgres(c.sql, &out, &error)) << c.sql << ": " << error;
    EXPECT_EQ(out.insertTable, c.table) << c.sql;
    EXPECT_EQ(out.insertOwnNid, c.ownNid) << c.sql;
    EXPECT_EQ(out.returning, c.returning) << c.sql;
    EXPECT_EQ(out.text.substr(0, out.end), c.upToEnd) << c.sql;
  }
}

}  // namespace
}  // namespace hrztest
