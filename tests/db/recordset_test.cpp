// Record sets, SQL statements and the client SQL authorizer, over both transports.
#include <cstring>

#include "entry/requests.h"
#include "hrzcommon/text.h"
#include "support/stores.h"

namespace hrztest {
namespace {

class RecordSetTest : public ClientTest {};

TEST_P(RecordSetTest, ReadsTextIntegerAndNullColumnsOfTheFirstRow) {
  Connection db = LogonAs("adm", kAdminPassword);
  XCliGenRS rs(db.get());
  ASSERT_EQ(rs.Open(1, "select CCODE, NID, CPWDRULE, NSTAT from UUSR where CCODE = 'alice'"), 1);
  ASSERT_EQ(rs.IsEOF(), 0);
  EXPECT_EQ(rs.IsBOF(), 0);
  EXPECT_EQ(rs.GetFieldCount(), 4);
  char name[32];
  ASSERT_EQ(rs.GetFieldName(2, name, sizeof name), 1);
  EXPECT_STREQ(name, "CPWDRULE");

  char text[64] = "unchanged";
  ASSERT_EQ(rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text), 1);
  EXPECT_STREQ(text, "alice");
  std::int32_t nid = 0;
  ASSERT_EQ(rs.GetFieldValue(1, XCLI_TYPE_INT32, &nid, 4), 1);
  EXPECT_EQ(nid, 308);
  // NULL reads as an empty text and as 0, both with success.
  ASSERT_EQ(rs.GetFieldValue(2, XCLI_TYPE_TEXT, text, sizeof text), 1);
  EXPECT_STREQ(text, "");
  std::int32_t nullInt = 99;
  ASSERT_EQ(rs.GetFieldValue(2, XCLI_TYPE_INT32, &nullInt, 4), 1);
  EXPECT_EQ(nullInt, 0);
  // An integer column read as text.
  ASSERT_EQ(rs.GetFieldValue(3, XCLI_TYPE_TEXT, text, sizeof text), 1);
  EXPECT_STREQ(text, "255");

  EXPECT_EQ(rs.MoveNext(), 1);
  EXPECT_NE(rs.IsEOF(), 0);
  EXPECT_EQ(rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text), 0);
}

TEST_P(RecordSetTest, RefusesBadColumnsTypesAndCapacities) {
  Connection db = LogonAs("adm", kAdminPassword);
  XCliGenRS rs(db.get());
  ASSERT_EQ(rs.Open(1, "select CCODE, CNAME from UUSR where NID = 308"), 1);
  char text[8];
  std::int32_t value = 0;
  EXPECT_EQ(rs.GetFieldValue(2, XCLI_TYPE_TEXT, text, sizeof text), 0);
  EXPECT_EQ(rs.GetFieldValue(-1, XCLI_TYPE_TEXT, text, sizeof text), 0);
  EXPECT_EQ(rs.GetFieldValue(0, 7, text, sizeof text), 0);
  EXPECT_EQ(rs.GetFieldValue(0, XCLI_TYPE_INT32, &value, 2), 0);
  // A name that is not a number is not an integer.
  EXPECT_EQ(rs.GetFieldValue(0, XCLI_TYPE_INT32, &value, 4), 0);
  // A text longer than the buffer is cut and terminated.
  ASSERT_EQ(rs.GetFieldValue(1, XCLI_TYPE_TEXT, text, sizeof text), 1);
  EXPECT_STREQ(text, "Alice A");
}

// Integers are read from integer, real and text cells alike; whatever does not fit in 32
// bits, or is no number, is refused instead of being cut.
TEST_P(RecordSetTest, IntegersReadWholeOrNotAtAll) {
  Connection db = LogonAs("adm", kAdminPassword);
  const struct {
    const char* expression;
    bool read;
    std::int32_t value;
  } cases[] = {
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"9223372036854775807", false, 0},
      {"0", true, 0},
      {"-7", true, -7},
      {"12.0", true, 12},
      {"' 42 '", true, 42},
      {"'+5'", true, 5},
      {"'4x'", false, 0},
      {"''", false, 0},
      {"x'3432'", false, 0},
  };
  for (const auto& c : cases) {
    XCliGenRS rs(db.get());
    ASSERT_EQ(rs.Open(1, (std::string("select ") + c.expression).c_str()), 1) << c.expression;
    std::int32_t value = -99;
    EXPECT_EQ(rs.GetFieldValue(0, XCLI_TYPE_INT32, &value, 4), c.read ? 1 : 0) << c.expression;
    if (c.read) {
      EXPECT_EQ(value, c.value) << c.expression;
    }
  }
}

// Counts, states, NIDs, limits and the day of the last password change are whole numbers:
// they read back without a fraction, whatever form the number was written in.
TEST_P(RecordSetTest, WholeNumberColumnsReadBackWithoutAFraction) {
  Connection db = LogonAs("adm", kAdminPassword);
  struct Column {
    const char* table;
    const char* name;
    const char* row;
    const char* number = "20000101";
  };
  const Column columns[] = {
      {"UUSR", "NSTAT", "CCODE = 'bob'"},
      {"UUSR", "NCRTOR", "CCODE = 'bob'"},
      {"UUSR", "NPWDDAYS", "CCODE = 'bob'"},
      {"UUSR", "DMODIPWD", "CCODE = 'bob'"},
      {"UUSR", "NTRYLGN", "CCODE = 'bob'"},
      {"UUSR", "NPA", "CCODE = 'bob'"},
      {"UUSR", "NPB", "CCODE = 'bob'"},
      {"UUSR", "NPC", "CCODE = 'bob'"},
      {"UUSR", "NPD", "CCODE = 'bob'"},
      {"UUSR", "NWFMAXTM", "CCODE = 'bob'"},
      {"UUSR", "NWFMAXCNT", "CCODE = 'bob'"},
      {"UUSR", "NUPCLIVR", "CCODE = 'bob'"},
      {"UUSRBM", "NPID", "NCID = 309"},
      // A catalogue position holds at most 511.
      {"UUSRFN", "NFNCHR", "CCODE = 'UUSR'", "511"},
  };
  // A link hangs its record under a department: one whose NID is the number written.
  ASSERT_EQ(
      XCliDB_ExecuteSQL(db.get(),
                        "insert into UUSR(NID, CCODE, CSRC) values(20000101, 'D1', 'UDEPT')", 0, 0),
      1);
  for (const Column& c : columns) {
    const std::string where = std::string(" from ") + c.table + " where " + c.row;
    const std::string set = std::string("update ") + c.table + " set " + c.name + " = " + c.number +
                            ".0 where " + c.row;
    ASSERT_EQ(XCliDB_ExecuteSQL(db.get(), set.c_str(), 0, 0), 1) << set;
    EXPECT_EQ(QueryText(db.get(), std::string("select ") + c.name + where), c.number)
        << c.table << "." << c.name;
  }
  // The server writes the day of a password change as a whole number too.
  ASSERT_EQ(hrz::SetPasswordRequest(db.get(), "bob", "Bob-new-2"), hrz::SetPasswordOutcome::kSet);
  const std::string day = QueryText(db.get(), "select DMODIPWD from UUSR where CCODE = 'bob'");
  EXPECT_EQ(day.find_first_not_of("0123456789"), std::string::npos) << day;
  // A date-time keeps its time of day.
  ASSERT_EQ(XCliDB_ExecuteSQL(db.get(),
                              "update UUSR set DMODI = 20260105.093000 where CCODE = 'bob'", 0, 0),
            1);
  EXPECT_EQ(QueryText(db.get(), "select DMODI from UUSR where CCODE = 'bob'"), "20260105.093");
}

// The administrator and the root alone hold NIDs up to 300; the sample's records and every
// record added without an NID lie above, so that the actions that spare the system records
// reach all the others.
TEST_P(RecordSetTest, OnlyTheSystemRecordsHoldNidsUpTo300) {
  Connection db = LogonAs("adm", kAdminPassword);
  EXPECT_EQ(QueryText(db.get(), "select group_concat(CCODE) from UUSR where NID <= 300"),
            "adm,ORG");
  EXPECT_EQ(QueryText(db.get(), "select min(NID) from UUSR where NID > 300"), "301");
  const std::string highest = QueryText(db.get(), "select max(NID) from UUSR");
  ASSERT_EQ(
      XCliDB_ExecuteSQL(db.get(),
                        "insert into UUSR(CCODE, CNAME, CSRC) values('zoe', 'Zoe', 'UUSRI')", 0, 0),
      1);
  EXPECT_EQ(QueryText(db.get(), "select NID from UUSR where CCODE = 'zoe'"),
            std::to_string(std::stoi(highest) + 1));
}

TEST_P(RecordSetTest, AnEmptyResultHasNoCurrentRowAndFailedSqlDoesNotOpen) {
  Connection db = LogonAs("adm", kAdminPassword);
  XCliGenRS rs(db.get());
  ASSERT_EQ(rs.Open(1, "select CCODE from UUSR where NID = -5"), 1);
  EXPECT_NE(rs.IsEOF(), 0);
  EXPECT_NE(rs.IsBOF(), 0);
  EXPECT_EQ(rs.Open(1, "select NOSUCHCOLUMN from UUSR"), 0);
  EXPECT_NE(rs.IsEOF(), 0);
  EXPECT_EQ(rs.Open(1, "select 1; select 2"), 0);
  // The connection is still in step after the failures.
  EXPECT_EQ(QueryText(db.get(), "select CNAME from UUSR where NID = 309"), "Bob Baker");
}

TEST_P(RecordSetTest, ExecuteSqlChangesTheStoreAndAFailureChangesNothing) {
  Connection db = LogonAs("adm", kAdminPassword);
  ASSERT_EQ(XCliDB_ExecuteSQL(db.get(), "update UUSR set CNAME = 'Bobby' where NID = 309", 0, 0),
            1);
  EXPECT_EQ(QueryText(db.get(), "select CNAME from UUSR where NID = 309"), "Bobby");
  // A unique code clash fails as a whole.
  EXPECT_EQ(XCliDB_ExecuteSQL(db.get(),
                              "update UUSR set CCODE = 'alice', CNAME = 'X' where NID = 309", 0, 0),
            0);
  EXPECT_EQ(QueryText(db.get(), "select CNAME from UUSR where NID = 309"), "Bobby");
  EXPECT_EQ(XCliDB_ExecuteSQL(db.get(), "not sql at all", 0, 0), 0);
}

TEST_P(RecordSetTest, LongTextsTravelWhole) {
  Connection db = LogonAs("adm", kAdminPassword);
  const std::string apps(100000, 'a');
  ASSERT_EQ(
      XCliDB_ExecuteSQL(
          db.get(),
          ("update UUSR set CDECFLWAPPS = " + hrz::SqlQuoted(apps) + " where NID = 310").c_str(), 0,
          0),
      1);
  XCliGenRS rs(db.get());
  ASSERT_EQ(rs.Open(1, "select length(CDECFLWAPPS), CDECFLWAPPS from UUSR where NID = 310"), 1);
  std::int32_t length = 0;
  ASSERT_EQ(rs.GetFieldValue(0, XCLI_TYPE_INT32, &length, 4), 1);
  EXPECT_EQ(length, 100000);
  std::string text(200000, '\0');
  ASSERT_EQ(rs.GetFieldValue(1, XCLI_TYPE_TEXT, text.data(), static_cast<int>(text.size())), 1);
  EXPECT_EQ(std::strlen(text.c_str()), apps.size());
}

TEST_P(RecordSetTest, ClientSqlCannotReachThePrivateTables) {
  Connection db = LogonAs("adm", kAdminPassword);
  const char* refused[] = {
      "select CHASH from SRV_PASSWORD",
      "select count(*) from srv_password",
      "select * from UUSR where NID in (select NID from SRV_PASSWORD)",
      "select sql from sqlite_master",
      "select BSECRET from SRV_KEY",
      "select CKEY from SRV_TLS",
      "select CCODE from SRV_UNKNOWN_LOGON",
  };
  for (const char* sql : refused) {
    XCliGenRS rs(db.get());
    EXPECT_EQ(rs.Open(1, sql), 0) << sql;
  }
  const char* statements[] = {
      "delete from SRV_PASSWORD",
      "update SRV_PRIVILEGE set CPVG = 'MMMM'",
      "insert into SRV_SETTING values('system', 'Lgn Err Try', '0')",
      "drop table UUSR",
      "create table T(x)",
      "attach database '/tmp/other.db' as other",
      "pragma writable_schema = 1",
      "create trigger t after update on UUSR begin delete from SRV_PASSWORD; end",
  };
  for (const char* sql : statements) {
    EXPECT_EQ(XCliDB_ExecuteSQL(db.get(), sql, 0, 0), 0) << sql;
  }
  // Nothing changed: adm still logs on, the limit setting still holds.
  char value[32];
  ASSERT_EQ(XCliGetINI(db.get(), "system", "Lgn Err Try", value, sizeof value, 0), 1);
  EXPECT_STREQ(value, "5");
  LogonAs("adm", kAdminPassword);
}

TEST_P(RecordSetTest, NothingButLogonIsAnsweredBeforeALogon) {
  Connection db = Open();
  XCliGenRS rs(db.get());
  EXPECT_EQ(rs.Open(1, "select CCODE from UUSR"), 0);
  EXPECT_EQ(XCliDB_ExecuteSQL(db.get(), "update UUSR set CNAME = 'x'", 0, 0), 0);
  char value[32];
  EXPECT_EQ(XCliGetINI(db.get(), "system", "Lgn Err Try", value, sizeof value, 0), 0);
  EXPECT_EQ(XCliGetCurrentUserNID(db.get()), -1);
  // After a logoff the session is closed again.
  Connection adm = LogonAs("adm", kAdminPassword);
  XCliDB_Logoff(adm.get());
  EXPECT_EQ(QueryText(adm.get(), "select CCODE from UUSR"), "<none>");
}

INSTANTIATE_TEST_SUITE_P(Transports, RecordSetTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
