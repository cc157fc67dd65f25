// The membership and account state operations as the module sends them, with its own request
// functions and SQL statements, in process and over TCP: delete and restore, unlock,
// deleting departments, and two clients moving records crosswise at the same moment. alice
// manages users here through Quality Assurance, which holds "UUSR" modify.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <latch>
#include <thread>

#include "entry/requests.h"
#include "hrzcommon/text.h"
#include "support/stores.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;

constexpr int kRoot = 2, kEng = 301, kCad = 303, kSales = 304, kQa = 305, kBob = 309, kCarol = 310,
              kFixture = 316;

// What the module's Restore writes after attaching the user again.
std::string RestoreStatement(const std::string& code, int nid) {
  return "update UUSR set CCODE = " + hrz::SqlQuoted(code) +
         ", NSTAT = 255, NPA = null, NPB = null, NPC = null, NPD = null, NTRYLGN = null, "
         "DTRYLGNTM = null where NID = " +
         std::to_string(nid);
}

std::string UnlockStatement(int nid) {
  return "update UUSR set NTRYLGN = null, DTRYLGNTM = null where NID = " + std::to_string(nid);
}

std::string MoveStatement(int parent, int link) {
  return "update UUSRBM set NPID = " + std::to_string(parent) +
         " where NID = " + std::to_string(link);
}

int LogonStatus(const std::string& location, const char* code, const char* password) {
  char error[256] = {};
  Connection db(XCliDB_Open(location.c_str(), error, sizeof error));
  int status = 0;
  if (db) XCliDB_Logon(db.get(), code, password, 260101, &status, nullptr, 0);
  return status;
}

class MembershipClientTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    adm_ = LogonAs("adm", kAdminPassword);
    GrantUserManagement(305);
    alice_ = LogonAs("alice", "alice-pw1");
  }

  // "UUSR" modify as nid's own privilege ("UUSR" is the catalogue's second entry), granted
  // by the administrator. Only the store's own connection writes the private tables.
  void GrantUserManagement(int nid) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(storePath_.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 10000);
    const std::string sql = "insert or replace into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(" +
                            std::to_string(nid) + ", 'XM', x'0100000001000000')";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
  }

  std::string Text(const std::string& sql) { return QueryText(adm_.get(), sql); }
  int Number(const std::string& sql) { return std::stoi(Text(sql)); }
  void Exec(const std::string& sql) {
    ASSERT_EQ(XCliDB_ExecuteSQL(adm_.get(), sql.c_str(), 0, 0), 1) << sql;
  }

  Connection adm_, alice_;
};

TEST_P(MembershipClientTest, ADeletedUserIsRestoredUnderTheChosenDepartmentAndLogsOnAgain) {
  // A code with a quote travels through the quoting helper like any other.
  Exec("insert into UUSR(NID, CCODE, CNAME, CSRC) values(400, 'o''neil', 'Pat O''Neil', 'UUSRI')");
  ASSERT_GE(hrz::AttachToNodeRequest(adm_.get(), kCad, 400), 1);
  {
    // Passwords are sealed for the newest connection.
    Connection admin = LogonAs("adm", kAdminPassword);
    ASSERT_EQ(hrz::SetPasswordRequest(admin.get(), "o'neil", "Neil-pw-7"),
              hrz::SetPasswordOutcome::kSet);
  }
  // The module's Restore drops every "[del]" from the stored code. The sample holds a user
  // deleted with the marker and one deleted without it, who keeps its code.
  struct User {
    int nid;
    const char* code;  // as restored
    const char* password;
    bool deleteFirst;
  } users[] = {{kBob, "bob", "bob-pw1", true},
               {400, "o'neil", "Neil-pw-7", true},
               {313, "frank", "frank-pw1", false},
               {318, "ivan", "ivan-pw1", false}};
  for (const User& u : users) {
    const std::string nid = std::to_string(u.nid);
    GrantUserManagement(u.nid);
    if (u.deleteFirst) {
      ASSERT_EQ(LogonStatus(location_, u.code, u.password), p::kLogonOk) << u.code;
      ASSERT_TRUE(hrz::DeleteUserRequest(alice_.get(), u.nid)) << u.code;
      EXPECT_EQ(Text("select CCODE from UUSR where NID = " + nid), std::string(u.code) + "[del]");
      EXPECT_EQ(Text("select count(*) from UUSRBM where NCID = " + nid), "0");
    }
    EXPECT_EQ(LogonStatus(location_, u.code, u.password), p::kLogonWrong) << u.code;
    const std::string places = Text("select count(*) from UUSRBM where NCID = " + nid);

    // Restore: attach under the department picked, then the module's update.
    const int link = hrz::AttachToNodeRequest(alice_.get(), kEng, u.nid);
    ASSERT_GE(link, 1) << u.code;
    ASSERT_EQ(XCliDB_ExecuteSQL(alice_.get(), RestoreStatement(u.code, u.nid).c_str(), 0, 0), 1)
        << u.code;
    EXPECT_EQ(Text("select CCODE || ' ' || NSTAT from UUSR where NID = " + nid),
              std::string(u.code) + " 255");
    EXPECT_EQ(Text("select count(*) from UUSRBM where NCID = " + nid +
                   " and NPID = 301 and NID = " + std::to_string(link)),
              "1");
    EXPECT_EQ(Text("select count(*) from UUSRBM where NCID = " + nid),
              std::to_string(std::stoi(places) + 1));
    EXPECT_EQ(LogonStatus(location_, u.code, u.password), p::kLogonOk) << u.code;
    // Its own privilege was kept: it manages users again (Engineering does not).
    Connection restored = LogonAs(u.code, u.password);
    EXPECT_GE(hrz::AttachToNodeRequest(restored.get(), kQa, kCarol), 1) << u.code;
  }
}

// The module checks the restored code before it attaches; the server refuses the update
// anyway when another user took the code meanwhile, and the user stays deleted.
TEST_P(MembershipClientTest, ARestoreToACodeTakenSinceLeavesTheUserDeleted) {
  ASSERT_TRUE(hrz::DeleteUserRequest(alice_.get(), kBob));
  Exec("insert into UUSR(NID, CCODE, CSRC) values(400, 'bob', 'UUSRI')");
  ASSERT_GE(hrz::AttachToNodeRequest(alice_.get(), kSales, kBob), 1);
  EXPECT_EQ(XCliDB_ExecuteSQL(alice_.get(), RestoreStatement("bob", kBob).c_str(), 0, 0), 0);
  EXPECT_EQ(Text("select CCODE || ' ' || NSTAT from UUSR where NID = 309"), "bob[del] 254");
  EXPECT_EQ(LogonStatus(location_, "bob[del]", "bob-pw1"), p::kLogonWrong);
}

TEST_P(MembershipClientTest, AUserLockedTodayLogsOnAgainAfterUnlock) {
  for (int i = 0; i < 5; ++i) LogonStatus(location_, "grace", "wrong");
  ASSERT_EQ(LogonStatus(location_, "grace", "grace-pw1"), p::kLogonLocked);
  // An ordinary user cannot unlock; a manager can.
  Connection bob = LogonAs("bob", "bob-pw1");
  EXPECT_EQ(XCliDB_ExecuteSQL(bob.get(), UnlockStatement(314).c_str(), 0, 0), 0);
  EXPECT_EQ(LogonStatus(location_, "grace", "grace-pw1"), p::kLogonLocked);
  ASSERT_EQ(XCliDB_ExecuteSQL(alice_.get(), UnlockStatement(314).c_str(), 0, 0), 1);
  EXPECT_EQ(LogonStatus(location_, "grace", "grace-pw1"), p::kLogonOk);
}

TEST_P(MembershipClientTest, TheServerDecidesWhetherADepartmentIsEmpty) {
  EXPECT_EQ(hrz::DeleteNodeRequest(alice_.get(), kFixture), hrz::DeleteNodeOutcome::kNotEmpty);
  const int link = Number("select NID from UUSRBM where NCID = 317 and NPID = 316");
  ASSERT_TRUE(hrz::RemoveUserRequest(alice_.get(), link));
  EXPECT_FALSE(hrz::RemoveUserRequest(alice_.get(), link));
  EXPECT_EQ(hrz::DeleteNodeRequest(alice_.get(), kFixture), hrz::DeleteNodeOutcome::kDeleted);
  EXPECT_EQ(hrz::DeleteNodeRequest(alice_.get(), kFixture), hrz::DeleteNodeOutcome::kFailed);
  EXPECT_EQ(hrz::DeleteNodeRequest(alice_.get(), kRoot), hrz::DeleteNodeOutcome::kFailed);
  EXPECT_FALSE(hrz::DeleteUserRequest(alice_.get(), 1));
  EXPECT_EQ(Text("select count(*) from UUSR where NID in (1, 2)"), "2");
}

// Two managers move two departments below each other at the same moment, by Move To or by
// attach, in every pairing: exactly one of the two succeeds and the organisation holds no
// loop.
TEST_P(MembershipClientTest, TwoClientsMovingCrosswiseLeaveNoLoop) {
  Exec("insert into UUSR(NID, CCODE, CSRC) values(400, 'DA', 'UDEPT'), (401, 'DB', 'UDEPT')");
  Exec("insert into UUSRBM(NID, NPID, NCID, CVWA) values(900, 2, 400, 'T'), (901, 2, 401, 'T')");
  Connection dave = LogonAs("dave", "dave-pw1");
  // One side of the race: the record moved, the parent it should go under, its link.
  enum class Way { kMove, kAttach };
  auto side = [](tagXCliDB* db, Way way, int record, int parent, int link) {
    if (way == Way::kAttach) return hrz::AttachToNodeRequest(db, parent, record) >= 1;
    return XCliDB_ExecuteSQL(db, MoveStatement(parent, link).c_str(), 0, 0) == 1;
  };
  const std::pair<Way, Way> pairings[] = {
      {Way::kMove, Way::kMove}, {Way::kAttach, Way::kAttach}, {Way::kMove, Way::kAttach}};
  for (const auto& [first, second] : pairings) {
    for (int round = 0; round < 8; ++round) {
      std::latch start(2);
      bool firstWon = false, secondWon = false;
      std::thread a([&] {
        start.arrive_and_wait();
        firstWon = side(alice_.get(), first, 400, 401, 900);
      });
      std::thread b([&] {
        start.arrive_and_wait();
        secondWon = side(dave.get(), second, 401, 400, 901);
      });
      a.join();
      b.join();
      EXPECT_NE(firstWon, secondWon) << "round " << round;
      EXPECT_EQ(Text("with recursive walk(start, n) as (select NCID, NPID from UUSRBM where "
                     "NPID > 0 union select w.start, b.NPID from walk w join UUSRBM b on "
                     "b.NCID = w.n where b.NPID > 0) select count(*) from walk where start = n"),
                "0");
      // Back under the root for the next round: attached places go, moved links return.
      Exec("delete from UUSRBM where NCID in (400, 401) and NID not in (900, 901)");
      Exec("update UUSRBM set NPID = 2 where NID in (900, 901)");
      ASSERT_EQ(Text("select group_concat(NPID) from UUSRBM where NCID in (400, 401)"), "2,2");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Store, MembershipClientTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
