// The membership requests (attach, delete user, remove user, delete node) frame by frame:
// their statuses, who may send them, what a deleted user is, and the organisation's rules
// that hold for every writer, client SQL included. In these tests the department Quality
// Assurance holds "UUSR" modify, so alice and dave manage users through it; bob and carol
// are ordinary users.

#include "support/engine_fixture.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;
using Bytes = std::vector<std::uint8_t>;

constexpr int kRoot = 2, kEng = 301, kMech = 302, kCad = 303, kSales = 304, kQa = 305;
constexpr int kReview = 306, kFlowOps = 307, kAlice = 308, kBob = 309, kCarol = 310;
constexpr int kFixture = 316, kHeidi = 317;

Bytes TextBody(const std::string& text) {
  wire::BodyWriter body;
  body.PutText(text);
  return body.Finish();
}

Bytes Int32s(std::initializer_list<std::int32_t> values) {
  wire::BodyWriter body;
  for (std::int32_t v : values) body.PutInt32(v);
  return body.Finish();
}

class MembershipTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // "UUSR" is the catalogue's second entry.
    ExecStore("insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(305, 'XM', " +
              BytesLiteral("0100000001000000") + ")");
  }

  Answer Ask(hrzsrv::Session& session, p::Kind kind, std::initializer_list<std::int32_t> values) {
    return Send(session, kind, Int32s(values));
  }

  Answer Execute(hrzsrv::Session& session, const std::string& sql) {
    wire::BodyWriter body;
    body.PutLong(sql);
    return Send(session, p::kExecute, body.Finish());
  }

  int LinkOf(int record, int parent) {
    return std::stoi(StoreText("select coalesce(max(NID), -1) from UUSRBM where NCID = " +
                               std::to_string(record) + " and NPID = " + std::to_string(parent)));
  }

  // Every record and link as text, to show that a refused request changed nothing.
  std::string Organisation() {
    return StoreList("select NID || CCODE || CSRC || NSTAT from UUSR order by NID", ";") + "/" +
           StoreList("select NID || ':' || NPID || '>' || NCID from UUSRBM order by NID", ";");
  }

  std::string AuditCount(const std::string& where) {
    return StoreText("select count(*) from SRV_LOG where " + where);
  }
};

TEST_F(MembershipTest, AttachAnswersTheLinkAndAttachingAgainAddsNoSecondPlace) {
  auto alice = LoggedOn("alice", "alice-pw1");
  Answer attached = Ask(*alice, p::kAttachToNode, {kQa, kBob});
  ASSERT_EQ(attached.status, p::kAttached);
  std::int32_t link = -1;
  ASSERT_TRUE(attached.Fields().NextInt32(&link));
  EXPECT_EQ(link, LinkOf(kBob, kQa));
  EXPECT_GE(link, 1);
  EXPECT_EQ(AuditCount("CACTION = 'RIGHTS CHANGED' and NUSER = 308 and NTARGET = 309 and "
                       "CVALUE = 'UUSRBM insert' and CTEXT = 'NPID 305, NCID 309'"),
            "1");

  Answer again = Ask(*alice, p::kAttachToNode, {kQa, kBob});
  std::int32_t same = -1;
  ASSERT_EQ(again.status, p::kAttached);
  ASSERT_TRUE(again.Fields().NextInt32(&same));
  EXPECT_EQ(same, link);
  EXPECT_EQ(StoreText("select count(*) from UUSRBM where NCID = 309"), "2");

  // Departments and roles are attached too: Mechanical Design also under Sales.
  EXPECT_EQ(Ask(*alice, p::kAttachToNode, {kSales, kMech}).status, p::kAttached);
  EXPECT_EQ(StoreList("select NPID from UUSRBM where NCID = 302 order by NPID"), "301,304");
}

// Refusals are the same for a manager and for the administrator; none changes anything.
TEST_F(MembershipTest, EachRequestAnswersItsErrors) {
  const int rootLink = std::stoi(StoreText("select NID from UUSRBM where NCID = 2"));
  const int adminLink = std::stoi(StoreText("select NID from UUSRBM where NCID = 1"));
  const int mechLink = LinkOf(kMech, kEng);
  struct Case {
    const char* what;
    p::Kind kind;
    Bytes body;
    std::uint8_t status;
    const char* reason;  // part of the refusal's text
  } cases[] = {
      {"attach under a user", p::kAttachToNode, Int32s({kAlice, kBob}), p::kFailed,
       "department or role"},
      {"attach under no record", p::kAttachToNode, Int32s({9999, kBob}), p::kNotFound, ""},
      {"attach no record", p::kAttachToNode, Int32s({kQa, 9999}), p::kNotFound, ""},
      {"attach a department under itself", p::kAttachToNode, Int32s({kEng, kEng}), p::kFailed,
       "below itself"},
      {"attach a department into its subtree", p::kAttachToNode, Int32s({kCad, kEng}), p::kFailed,
       "below itself"},
      {"attach the root under a department", p::kAttachToNode, Int32s({kEng, kRoot}), p::kFailed,
       "root stays at the top"},
      {"delete no user", p::kDeleteUser, Int32s({9999}), p::kNotFound, ""},
      {"delete the administrator", p::kDeleteUser, Int32s({1}), p::kFailed, "administrator"},
      {"delete a department as a user", p::kDeleteUser, Int32s({kEng}), p::kFailed, "not a user"},
      {"remove no link", p::kRemoveUser, Int32s({9999}), p::kNotFound, ""},
      {"remove a department's link", p::kRemoveUser, Int32s({mechLink}), p::kFailed, "only users"},
      {"remove the root's link", p::kRemoveUser, Int32s({rootLink}), p::kFailed, "only users"},
      {"remove the administrator's only place", p::kRemoveUser, Int32s({adminLink}), p::kFailed,
       "administrator keeps a place"},
      {"delete the root", p::kDeleteNode, Int32s({kRoot}), p::kFailed, "root"},
      {"delete a user as a node", p::kDeleteNode, Int32s({kBob}), p::kFailed, "not a department"},
      {"delete no node", p::kDeleteNode, Int32s({9999}), p::kNotFound, ""},
      {"delete a department with records below", p::kDeleteNode, Int32s({kEng}), p::kNodeNotEmpty,
       ""},
      {"delete a role with a user", p::kDeleteNode, Int32s({kFlowOps}), p::kNodeNotEmpty, ""},
      {"attach without the record", p::kAttachToNode, Int32s({kQa}), p::kBadMessage, ""},
      {"delete a user given as text", p::kDeleteUser, TextBody("309"), p::kBadMessage, ""},
  };
  const std::string before = Organisation();
  for (const char* who : {"alice", "adm"}) {
    auto session = LoggedOn(who, std::string(who) == "adm" ? kAdminPassword : "alice-pw1");
    for (const Case& c : cases) {
      const Answer answer = Send(*session, c.kind, c.body);
      EXPECT_EQ(answer.status, c.status) << who << ": " << c.what;
      if (c.status == p::kFailed) {
        EXPECT_NE(answer.FirstText().find(c.reason), std::string::npos)
            << who << ": " << c.what << ": " << answer.FirstText();
      }
      ASSERT_EQ(Organisation(), before) << who << ": " << c.what;
    }
  }
  // Each refusal is audited with the request and its reason.
  EXPECT_EQ(AuditCount("CACTION = 'REFUSED' and CTABLE = 'remove user' and "
                       "CTEXT like '%administrator keeps a place%'"),
            "2");
  EXPECT_EQ(AuditCount("CACTION = 'REFUSED' and CTABLE = 'attach' and NTARGET = 301 and "
                       "CVALUE = 'record 301 under 303'"),
            "2");
}

// A deleted user keeps its record, password and privileges; it is nowhere in the
// organisation, its code is free for a new user, and it cannot log on.
TEST_F(MembershipTest, DeletingAUserMarksItAndTakesItOutOfTheOrganisationOnly) {
  auto adm = LoggedOn("adm", kAdminPassword);
  const std::string hash = StoreText("select CHASH from SRV_PASSWORD where NID = 308");
  ASSERT_EQ(Ask(*adm, p::kDeleteUser, {kAlice}).status, p::kUserDeleted);
  EXPECT_EQ(StoreText("select CCODE || ' ' || NSTAT from UUSR where NID = 308"), "alice[del] 254");
  EXPECT_EQ(StoreText("select count(*) from UUSRBM where NCID = 308"), "0");
  EXPECT_EQ(StoreText("select CHASH from SRV_PASSWORD where NID = 308"), hash);
  EXPECT_EQ(StoreText("select CPVG from SRV_PRIVILEGE where NID = 308"), "V");
  auto session = NewSession();
  EXPECT_EQ(Logon(*session, "alice", "alice-pw1").status, p::kLogonWrong);
  EXPECT_EQ(Logon(*session, "alice[del]", "alice-pw1").status, p::kLogonWrong);
  for (const char* change : {"'UUSR.CCODE' and CTEXT = '''alice'' -> ''alice[del]'''",
                             "'UUSR.NSTAT' and CTEXT = '255 -> 254'", "'UUSRBM delete'"}) {
    EXPECT_NE(AuditCount(std::string("CACTION = 'RIGHTS CHANGED' and NTARGET = 308 and CVALUE = ") +
                         change),
              "0")
        << change;
  }
  EXPECT_EQ(AuditCount("CVALUE = 'UUSRBM delete' and NTARGET = 308"), "3");

  // A new alice, deleted too, takes a code of its own that still restores to "alice".
  ASSERT_EQ(
      Execute(*adm, "insert into UUSR(NID, CCODE, CSRC) values(400, 'ALICE', 'UUSRI')").status,
      p::kOk);
  ASSERT_EQ(Ask(*adm, p::kAttachToNode, {kQa, 400}).status, p::kAttached);
  ASSERT_EQ(Ask(*adm, p::kDeleteUser, {400}).status, p::kUserDeleted);
  EXPECT_EQ(StoreText("select CCODE from UUSR where NID = 400"), "ALICE[del][del]");

  // Deleting a deleted user again keeps its code; a place it was given since is taken away.
  ASSERT_EQ(Ask(*adm, p::kAttachToNode, {kSales, kAlice}).status, p::kAttached);
  ASSERT_EQ(Ask(*adm, p::kDeleteUser, {kAlice}).status, p::kUserDeleted);
  EXPECT_EQ(StoreText("select CCODE || ' ' || NSTAT from UUSR where NID = 308"), "alice[del] 254");
  EXPECT_EQ(StoreText("select count(*) from UUSRBM where NCID = 308"), "0");
  // A code with no room for the marker is kept as it is; state 254 marks the user deleted
  // and restoring keeps the code. The longest code that takes the marker takes it.
  const std::string longest(hrz::protocol::kMaxUserCode - 5, 'z');
  for (const auto& [nid, code] :
       {std::pair{401, longest + "y"}, std::pair{402, std::string(longest)}}) {
    ASSERT_EQ(Execute(*adm, "insert into UUSR(NID, CCODE, CSRC) values(" + std::to_string(nid) +
                                ", '" + code + "', 'UUSRI')")
                  .status,
              p::kOk);
    ASSERT_EQ(Ask(*adm, p::kDeleteUser, {nid}).status, p::kUserDeleted);
  }
  EXPECT_EQ(StoreText("select CCODE || ' ' || NSTAT from UUSR where NID = 401"), longest + "y 254");
  EXPECT_EQ(StoreText("select CCODE || ' ' || NSTAT from UUSR where NID = 402"),
            longest + "[del] 254");
  // Users of every kind are deleted alike.
  EXPECT_EQ(Ask(*adm, p::kDeleteUser, {kCarol}).status, p::kUserDeleted);
  EXPECT_EQ(Ask(*adm, p::kDeleteUser, {311}).status, p::kUserDeleted);
}

TEST_F(MembershipTest, ADepartmentOrRoleIsDeletedOnlyWhenNothingHangsBelowIt) {
  ExecStore("insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(316, 'V', " +
            BytesLiteral("01000000") + ")");
  auto dave = LoggedOn("dave", "dave-pw1");
  // CAD Team holds Fixture Design, which holds heidi.
  EXPECT_EQ(Ask(*dave, p::kDeleteNode, {kCad}).status, p::kNodeNotEmpty);
  EXPECT_EQ(Ask(*dave, p::kDeleteNode, {kFixture}).status, p::kNodeNotEmpty);
  ASSERT_EQ(Ask(*dave, p::kRemoveUser, {LinkOf(kHeidi, kFixture)}).status, p::kUserDeleted);
  EXPECT_EQ(StoreText("select count(*) from UUSRBM where NCID = 317"), "1");
  EXPECT_EQ(Ask(*dave, p::kDeleteNode, {kFixture}).status, p::kNodeDeleted);
  EXPECT_EQ(StoreText("select count(*) from UUSR where NID = 316"), "0");
  EXPECT_EQ(StoreText("select count(*) from UUSRBM where NCID = 316 or NPID = 316"), "0");
  EXPECT_EQ(StoreText("select count(*) from SRV_PRIVILEGE where NID = 316"), "0");
  EXPECT_EQ(AuditCount("CACTION = 'RIGHTS CHANGED' and NUSER = 311 and NTARGET = 316 and "
                       "CVALUE in ('UUSR delete', 'UUSRBM delete')"),
            "2");
  // A deleted user no longer holds its role: Flow Operators empties when carol goes.
  EXPECT_EQ(Ask(*dave, p::kDeleteNode, {kFlowOps}).status, p::kNodeNotEmpty);
  ASSERT_EQ(Ask(*dave, p::kDeleteUser, {kCarol}).status, p::kUserDeleted);
  EXPECT_EQ(Ask(*dave, p::kDeleteNode, {kFlowOps}).status, p::kNodeDeleted);
  // Nothing can be attached under a role that is gone.
  EXPECT_EQ(Ask(*dave, p::kAttachToNode, {kFlowOps, kBob}).status, p::kNotFound);
}

TEST_F(MembershipTest, RemovingTakesOnePlaceAndTheAdministratorKeepsItsLast) {
  auto alice = LoggedOn("alice", "alice-pw1");
  ASSERT_EQ(Ask(*alice, p::kRemoveUser, {LinkOf(kAlice, kReview)}).status, p::kUserDeleted);
  EXPECT_EQ(StoreList("select NPID from UUSRBM where NCID = 308 order by NPID"), "303,305");
  EXPECT_EQ(StoreText("select NSTAT from UUSR where NID = 308"), "255");
  // The administrator may leave a department as long as it keeps one place.
  ASSERT_EQ(Ask(*alice, p::kAttachToNode, {kQa, 1}).status, p::kAttached);
  EXPECT_EQ(Ask(*alice, p::kRemoveUser, {LinkOf(1, kRoot)}).status, p::kUserDeleted);
  const Answer last = Ask(*alice, p::kRemoveUser, {LinkOf(1, kQa)});
  EXPECT_EQ(last.status, p::kFailed);
  EXPECT_EQ(last.FirstText(), "the administrator keeps a place in the organisation");
  EXPECT_EQ(StoreText("select count(*) from UUSRBM where NCID = 1"), "1");
}

// Sessions that have not logged on, or neither manage users nor are the administrator,
// change nothing, by request or by SQL; neither does a manager's open session once its user is
// deleted, though its own privilege string, which deleting keeps, holds "UUSR" modify.
TEST_F(MembershipTest, UsersWithoutTheRightChangeNothing) {
  auto stranger = NewSession();
  for (p::Kind kind : {p::kAttachToNode, p::kDeleteUser, p::kRemoveUser, p::kDeleteNode}) {
    EXPECT_EQ(Ask(*stranger, kind, {kBob, kBob}).status, p::kNotLoggedOn);
  }
  ExecStore("update SRV_PRIVILEGE set CPVG = 'VM' where NID = 308");
  auto alice = LoggedOn("alice", "alice-pw1");
  auto adm = LoggedOn("adm", kAdminPassword);
  ASSERT_EQ(Ask(*adm, p::kDeleteUser, {kAlice}).status, p::kUserDeleted);
  std::map<std::string, std::unique_ptr<hrzsrv::Session>> sessions;
  sessions["bob"] = LoggedOn("bob", "bob-pw1");
  sessions["carol"] = LoggedOn("carol", "carol-pw1");
  sessions["alice"] = std::move(alice);
  struct Request {
    p::Kind kind;
    Bytes body;
  };
  const Request requests[] = {
      {p::kAttachToNode, Int32s({kReview, kBob})},
      {p::kAttachToNode, Int32s({kQa, kCarol})},
      {p::kRemoveUser, Int32s({LinkOf(kBob, kMech)})},
      {p::kRemoveUser, Int32s({LinkOf(kCarol, kSales)})},
      {p::kDeleteUser, Int32s({kBob})},
      {p::kDeleteUser, Int32s({312})},
      {p::kDeleteNode, Int32s({kCad})},
      {p::kDeleteNode, Int32s({kFlowOps})},
  };
  const char* const statements[] = {
      "update UUSRBM set NPID = 306 where NCID = 309",                     // Move To
      "update UUSR set NTRYLGN = null, DTRYLGNTM = null where NID = 312",  // Unlock
      "update UUSR set CCODE = 'alice', NSTAT = 255, NPA = null, NPB = null, NPC = null, "
      "NPD = null, NTRYLGN = null, DTRYLGNTM = null where NID = 308",  // Restore
  };
  const std::string before = Organisation();
  const std::string counters = StoreText("select NTRYLGN from UUSR where NID = 312");
  int refusals = 0;
  for (auto& [who, session] : sessions) {
    for (const Request& r : requests) {
      const Answer answer = Send(*session, r.kind, r.body);
      EXPECT_EQ(answer.status, p::kFailed)
          << who << " " << int(r.kind.group) << "," << int(r.kind.code);
      EXPECT_EQ(answer.FirstText(), "only a holder of \"UUSR\" modify changes the organisation");
      ++refusals;
    }
    for (const char* sql : statements) {
      const Answer answer = Execute(*session, sql);
      EXPECT_EQ(answer.status, p::kFailed) << who << ": " << sql;
      EXPECT_EQ(answer.FirstText().rfind("refused: ", 0), 0u) << who << ": " << answer.FirstText();
      ++refusals;
    }
    ASSERT_EQ(Organisation(), before) << who;
  }
  EXPECT_EQ(StoreText("select NTRYLGN from UUSR where NID = 312"), counters);
  EXPECT_EQ(AuditCount("CACTION = 'REFUSED' and NUSER in (308, 309, 310)"),
            std::to_string(refusals));
}

// The rules of the organisation hold for client SQL too, the administrator's included: no
// record below itself, only under departments and roles, the root at the top and kept, the
// administrator kept in the organisation and never deleted.
TEST_F(MembershipTest, ClientSqlCannotBreakTheOrganisation) {
  auto alice = LoggedOn("alice", "alice-pw1");
  auto adm = LoggedOn("adm", kAdminPassword);
  const int adminLink = std::stoi(StoreText("select NID from UUSRBM where NCID = 1"));
  struct Case {
    hrzsrv::Session* session;
    std::string sql;
    const char* reason;
  } cases[] = {
      {alice.get(), "update UUSRBM set NPID = 303 where NCID = 301", "below itself"},
      {alice.get(), "update UUSRBM set NPID = 301 where NCID = 301", "below itself"},
      {alice.get(), "update UUSRBM set NPID = 309 where NCID = 311", "department or role"},
      {alice.get(), "update UUSRBM set NPID = 9999 where NCID = 311", "department or role"},
      {alice.get(), "update UUSRBM set NPID = 0 where NCID = 304", "only the organisation's root"},
      {alice.get(), "update UUSRBM set NPID = 301 where NCID = 2", "root stays at the top"},
      {adm.get(), "update UUSRBM set NPID = 303 where NCID = 301", "below itself"},
      {adm.get(), "insert into UUSRBM(NPID, NCID, CVWA) values(303, 301, 'T')", "below itself"},
      {adm.get(), "update UUSRBM set NCID = 301 where NCID = 303", "below itself"},
      {adm.get(), "insert into UUSRBM(NPID, NCID, CVWA) values(305, 9999, 'T')", "no such record"},
      {adm.get(), "insert into UUSRBM(NPID, NCID, CVWA) values(0, 2, 'T')", "root stays"},
      {adm.get(), "delete from UUSRBM where NCID = 2", "root stays at the top"},
      {adm.get(), "delete from UUSRBM where NCID = 1", "administrator keeps a place"},
      {adm.get(), "update UUSRBM set NCID = 309 where NCID = 1", "administrator keeps a place"},
      {adm.get(),
       "insert into UUSRBM(NID, NPID, NCID, CVWA) values(" + std::to_string(adminLink) +
           ", 305, 309, 'T') on conflict(NID) do update set NPID = excluded.NPID, NCID = "
           "excluded.NCID",
       "administrator keeps a place"},
      {adm.get(), "delete from UUSR where NID = 2", "root cannot be deleted"},
      {adm.get(), "update UUSR set NID = 3 where NID = 2", "root keeps its NID"},
      {adm.get(), "update UUSR set CSRC = 'UROLE' where NID = 2", "root stays a department"},
      {alice.get(), "update UUSR set NSTAT = 254 where NID = 2", "root cannot be deleted"},
      {adm.get(), "update UUSR set NSTAT = 254 where NID = 2", "root cannot be deleted"},
      {adm.get(), "update UUSR set NSTAT = 254 where NID = 1", "administrator's record cannot"},
      {adm.get(), "update UUSR set CSRC = 'UDEPT' where NID = 1", "administrator's kind"},
  };
  const std::string before = Organisation();
  for (const Case& c : cases) {
    const Answer answer = Execute(*c.session, c.sql);
    EXPECT_EQ(answer.status, p::kFailed) << c.sql;
    EXPECT_EQ(answer.FirstText().rfind("refused: ", 0), 0u) << c.sql << ": " << answer.FirstText();
    EXPECT_NE(answer.FirstText().find(c.reason), std::string::npos)
        << c.sql << ": " << answer.FirstText();
    ASSERT_EQ(Organisation(), before) << c.sql;
  }
  EXPECT_EQ(AuditCount("CACTION = 'REFUSED' and CTABLE = 'UUSRBM' and CTEXT like "
                       "'a record cannot hang below itself: update UUSRBM%'"),
            "4");
  // The moves that keep the organisation whole still go through: to the same parent, and
  // a department under another branch.
  EXPECT_EQ(Execute(*alice, "update UUSRBM set NPID = 301 where NCID = 302").status, p::kOk);
  EXPECT_EQ(Execute(*alice, "update UUSRBM set NPID = 304 where NCID = 302").status, p::kOk);
  EXPECT_EQ(StoreText("select NPID from UUSRBM where NCID = 302"), "304");
}

// A store made before these rules gets them when an engine opens it.
TEST_F(MembershipTest, AnOlderStoreGetsTheRulesWhenOpened) {
  if (OnPostgres()) GTEST_SKIP() << "a PostgreSQL store is made whole; only SQLite's have a past";
  engine_.reset();
  ExecStore(
      "drop trigger UUSRBM_RULES_INSERT; drop trigger UUSRBM_RULES_UPDATE; "
      "drop trigger UUSRBM_RULES_DELETE");
  std::string error;
  engine_ = hrzsrv::Engine::Open(store_, clock_, &error);
  ASSERT_TRUE(engine_) << error;
  auto adm = LoggedOn("adm", kAdminPassword);
  EXPECT_EQ(Execute(*adm, "update UUSRBM set NPID = 303 where NCID = 301").status, p::kFailed);
  EXPECT_EQ(StoreText("select NPID from UUSRBM where NCID = 301"), "2");
}

}  // namespace
}  // namespace hrztest
