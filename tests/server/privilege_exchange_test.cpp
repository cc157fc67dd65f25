// Privilege strings and grantor lists read and saved with the module's own request functions,
// in process and over TCP: the two steps and their continuations, who may grant and withdraw
// which marks, the audit log, and the privilege answer that the gates ask (4, 4, 1), which
// must read the same strings. In these tests Quality Assurance holds "UFUNCPVG" view and
// "UUSR" modify, so alice and dave use the editor as managers; bob holds "UFUNCPVG" view
// alone; carol holds nothing.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "entry/requests.h"
#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "support/stores.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;
using Grantors = std::vector<std::uint32_t>;

// Catalogue positions of the sample ("NFNCHR" = NID).
constexpr int kKqWaifa = 7, kKqBrws = 10;
constexpr int kAdm = 1, kEng = 301, kMech = 302, kReview = 306, kAlice = 308, kBob = 309,
              kCarol = 310, kGrace = 314;

struct Set {
  bool ok = false;
  std::string marks;
  Grantors grantors;
};

Set Read(tagXCliDB* db, int nid) {
  Set set;
  set.ok = hrz::ReadPrivilegeSet(db, nullptr, nid, &set.marks, &set.grantors);
  return set;
}

bool Save(tagXCliDB* db, int nid, const std::string& marks, const Grantors& grantors) {
  return hrz::SavePrivilegeSet(db, nullptr, nid, marks, grantors);
}

// marks with the mark at position set to mark, filled with "X" as far as needed.
std::string WithMark(std::string marks, int position, char mark) {
  if (marks.size() < static_cast<std::size_t>(position)) marks.resize(position, 'X');
  marks[position - 1] = mark;
  return marks;
}

// One send as the module makes it: the header is sent and overwritten by the reply's.
struct Step {
  int status = -1;  // -1: the exchange failed
  std::array<unsigned char, XCLI_HEADER_SIZE> header{};
  std::string reason;  // field 1 of a refusal
};

Step Send(tagXCliDB* db, std::array<unsigned char, XCLI_HEADER_SIZE> header,
          const wire::Bytes& body) {
  XCliSendLock* lock = XCliDB_LockSendAndWait(db);
  std::vector<unsigned char> reply(8192);
  Step step;
  step.header = header;
  const int length =
      XCliDB_SendAndWait2(db, lock, step.header.data(), body.data(), static_cast<int>(body.size()),
                          step.header.data(), reply.data(), static_cast<int>(reply.size()), 0);
  XCliDB_ReleaseSendAndWait(db, lock);
  if (length == XCLI_SEND_FAILED) return step;
  step.status = step.header[p::kCodeByte];
  wire::BodyReader(std::span<const std::uint8_t>(reply.data(), length)).NextText(&step.reason);
  return step;
}

std::array<unsigned char, XCLI_HEADER_SIZE> HeaderOf(p::Kind kind) {
  std::array<unsigned char, XCLI_HEADER_SIZE> header{};
  header[p::kClassByte] = kind.cls;
  header[p::kGroupByte] = kind.group;
  header[p::kCodeByte] = kind.code;
  return header;
}

Step ReadFirst(tagXCliDB* db, int nid) {
  wire::BodyWriter body;
  body.PutInt32(nid);
  return Send(db, HeaderOf(p::kReadPrivileges), body.Finish());
}

Step SaveFirst(tagXCliDB* db, int nid, const std::string& marks) {
  wire::BodyWriter body;
  body.PutInt32(nid);
  body.PutTextZ(marks);
  return Send(db, HeaderOf(p::kSavePrivileges), body.Finish());
}

wire::Bytes GrantorBody(const Grantors& grantors) {
  std::vector<unsigned char> list(4 * grantors.size());
  for (std::size_t i = 0; i < grantors.size(); ++i) {
    wire::WriteInt32(list.data() + 4 * i, static_cast<std::int32_t>(grantors[i]));
  }
  wire::BodyWriter body;
  body.PutBytes(list.data(), list.size());
  return body.Finish();
}

// A whole save sent step by step; the status of the step that did not go on, or the last.
Step SaveRaw(tagXCliDB* db, int nid, const std::string& marks, const Grantors& grantors) {
  Step first = SaveFirst(db, nid, marks);
  if (first.status != p::kPrivilegeMarksTaken) return first;
  return Send(db, first.header, GrantorBody(grantors));
}

class PrivilegeExchangeTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    WriteStore(storePath_,
               "insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values "
               "(305, 'VM', x'0100000001000000'), (309, 'V', x'01000000')");
  }

  // Every stored set, grantors in hexadecimal.
  std::vector<std::string> StoredSets() const {
    return StoreRows(storePath_,
                     "select NID, CPVG, hex(BGRANTORS) from SRV_PRIVILEGE order by NID");
  }

  std::string LogText(const std::string& sql) const {
    const std::vector<std::string> rows = StoreRows(storePath_, sql);
    return rows.empty() ? "<none>" : rows.front();
  }

  Connection Adm() { return LogonAs("adm", kAdminPassword); }
  Connection Alice() { return LogonAs("alice", "alice-pw1"); }
};

// The flags the gates see for a user and a code, asked by the administrator.
std::pair<int, int> Gate(tagXCliDB* db, int nid, const char* code) {
  int view = -1, modify = -1;
  EXPECT_EQ(XCliGetFuncPvg(db, nid, code, &view, &modify), 1) << code;
  return {view, modify};
}

TEST_P(PrivilegeExchangeTest, ASavedSetReadsBackAsStoredWithTheSessionsUserAsGrantor) {
  Connection adm = Adm();
  // The message's grantor of a new mark is not what is recorded; trailing "X" are dropped.
  ASSERT_TRUE(Save(adm.get(), kGrace, "VXMXX", {77, 0, 99, 0, 0}));
  Set set = Read(adm.get(), kGrace);
  ASSERT_TRUE(set.ok);
  EXPECT_EQ(set.marks, "VXM");
  EXPECT_EQ(set.grantors, (Grantors{kAdm, 0, kAdm}));
  // Kept marks may name their grantor or 0; either way the recorded one stays.
  ASSERT_TRUE(Save(adm.get(), kGrace, "VXMV", {0, 0, kAdm, 0}));
  EXPECT_EQ(Read(adm.get(), kGrace).grantors, (Grantors{kAdm, 0, kAdm, kAdm}));
  // Withdrawing every right sends an empty string and an empty grantor field.
  ASSERT_TRUE(Save(adm.get(), kGrace, "", {}));
  set = Read(adm.get(), kGrace);
  EXPECT_TRUE(set.ok);
  EXPECT_EQ(set.marks, "");
  EXPECT_TRUE(set.grantors.empty());
  EXPECT_EQ(LogText("select count(*) from SRV_PRIVILEGE where NID = 314"), "1:0|");

  // A string stored by an earlier version, in lower case with a short grantor list: read as
  // stored, one grantor per mark, and the gate counts "v" as view.
  WriteStore(storePath_,
             "insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(314, 'vXm', x'05000000')");
  set = Read(adm.get(), kGrace);
  EXPECT_EQ(set.marks, "vXm");
  EXPECT_EQ(set.grantors, (Grantors{5, 0, 0}));
  EXPECT_EQ(Gate(adm.get(), kGrace, "UFUNCPVG"), std::make_pair(1, 0));
  EXPECT_EQ(Gate(adm.get(), kGrace, "PDUNIREAD"), std::make_pair(1, 1));
}

TEST_P(PrivilegeExchangeTest, AContinuationOutOfItsExchangeIsRefusedAndChangesNothing) {
  Connection adm = Adm();
  const auto continuation = [](p::Kind kind, const Step& first) {
    std::array<unsigned char, XCLI_HEADER_SIZE> header = first.header;
    header[p::kClassByte] = kind.cls;
    header[p::kGroupByte] = kind.group;
    header[p::kCodeByte] = kind.code;
    return header;
  };
  const wire::Bytes oneGrantor = GrantorBody({kAdm});
  struct Case {
    const char* what;
    std::function<Step(tagXCliDB*)> run;  // returns the continuation's answer
  } cases[] = {
      {"read continuation without a first step",
       [&](tagXCliDB* db) { return Send(db, HeaderOf(p::kReadPrivilegesNext), {}); }},
      {"save continuation without a first step",
       [&](tagXCliDB* db) { return Send(db, HeaderOf(p::kSavePrivilegesNext), oneGrantor); }},
      {"save continuation after a read's first step",
       [&](tagXCliDB* db) {
         return Send(db, continuation(p::kSavePrivilegesNext, ReadFirst(db, kGrace)), oneGrantor);
       }},
      {"read continuation after a save's first step",
       [&](tagXCliDB* db) {
         return Send(db, continuation(p::kReadPrivilegesNext, SaveFirst(db, kGrace, "M")), {});
       }},
      {"a query between the steps",
       [&](tagXCliDB* db) {
         Step first = SaveFirst(db, kGrace, "M");
         EXPECT_EQ(QueryText(db, "select CCODE from UUSR where NID = 1"), "adm");
         return Send(db, first.header, oneGrantor);
       }},
      {"a continuation for another node",
       [&](tagXCliDB* db) {
         Step first = SaveFirst(db, kGrace, "M");
         SaveFirst(db, kBob, "M");
         return Send(db, first.header, oneGrantor);
       }},
      {"the continuation of an earlier exchange for the same node",
       [&](tagXCliDB* db) {
         Step earlier = SaveFirst(db, kGrace, "M");
         SaveFirst(db, kGrace, "M");
         return Send(db, earlier.header, oneGrantor);
       }},
      {"the same continuation twice",
       [&](tagXCliDB* db) {
         Step first = ReadFirst(db, kGrace);
         EXPECT_EQ(Send(db, first.header, {}).status, p::kPrivilegeGrantors);
         return Send(db, first.header, {});
       }},
      {"a continuation after the session ended",
       [&](tagXCliDB* db) {
         Step first;
         {
           Connection ended = Adm();
           first = SaveFirst(ended.get(), kGrace, "M");
         }
         return Send(db, first.header, oneGrantor);
       }},
      {"a continuation after a logoff and a new logon",
       [&](tagXCliDB* db) {
         Step first = SaveFirst(db, kGrace, "M");
         XCliDB_Logoff(db);
         int status = 0;
         EXPECT_EQ(XCliDB_Logon(db, "adm", kAdminPassword, 260101, &status, nullptr, 0), 1);
         return Send(db, first.header, oneGrantor);
       }},
  };
  const std::vector<std::string> before = StoredSets();
  for (const Case& c : cases) {
    const Step answer = c.run(adm.get());
    EXPECT_EQ(answer.status, p::kFailed) << c.what;
    EXPECT_FALSE(answer.reason.empty()) << c.what;
    EXPECT_EQ(StoredSets(), before) << c.what;
    // The session goes on: a whole exchange still works.
    EXPECT_TRUE(Read(adm.get(), kGrace).ok) << c.what;
  }
  EXPECT_EQ(LogText("select count(*) from SRV_LOG where CACTION = 'REFUSED' and "
                    "CTABLE = 'privilege' and NUSER = 1"),
            "1:" + std::to_string(std::size(cases)) + "|");
}

TEST_P(PrivilegeExchangeTest,
       AManagersGrantIsRecordedAsItsOwnAndOnlyItOrTheAdministratorWithdraws) {
  Connection alice = Alice();
  Set grace = Read(alice.get(), kGrace);
  ASSERT_TRUE(grace.ok);
  // The message claims the administrator granted it: the server records alice.
  const std::string granted = WithMark(grace.marks, kKqBrws, 'M');
  Grantors claimed(granted.size(), 0);
  claimed.back() = kAdm;
  ASSERT_TRUE(Save(alice.get(), kGrace, granted, claimed));
  EXPECT_EQ(Read(alice.get(), kGrace).grantors.back(), static_cast<std::uint32_t>(kAlice));
  EXPECT_EQ(LogText("select NUSER, NTARGET, CVALUE, CTEXT, CPEER is not null, DTIME > 20200101 "
                    "from SRV_LOG where CACTION = 'GRANTED'"),
            "1:308|1:314|3:KQBRWS|3:X -> M|1:1|1:1|");

  // Neither another manager nor a user of the editor withdraws alice's grant.
  Connection dave = LogonAs("dave", "dave-pw1");
  Connection bob = LogonAs("bob", "bob-pw1");
  for (tagXCliDB* other : {dave.get(), bob.get()}) {
    const Step refused = SaveRaw(other, kGrace, "", {});
    EXPECT_EQ(refused.status, p::kFailed);
    EXPECT_NE(refused.reason.find("KQBRWS"), std::string::npos) << refused.reason;
    EXPECT_EQ(Read(alice.get(), kGrace).marks, granted);
  }
  // Alice lowers it to view and raises it again, her own grant both times.
  ASSERT_TRUE(Save(alice.get(), kGrace, WithMark(granted, kKqBrws, 'V'), Grantors(10, 0)));
  ASSERT_TRUE(Save(alice.get(), kGrace, granted, Grantors(10, 0)));
  EXPECT_EQ(Read(alice.get(), kGrace).grantors.back(), static_cast<std::uint32_t>(kAlice));
  ASSERT_TRUE(Save(alice.get(), kGrace, "", {}));
  EXPECT_EQ(Read(alice.get(), kGrace).marks, "");

  // The administrator withdraws anyone's grant, and grants unknown to anyone.
  ASSERT_TRUE(Save(alice.get(), kGrace, granted, Grantors(10, 0)));
  WriteStore(storePath_,
             "update SRV_PRIVILEGE set CPVG = 'V', BGRANTORS = x'00000000' "
             "where NID = 309");
  Connection adm = Adm();
  ASSERT_TRUE(Save(adm.get(), kGrace, "", {}));
  ASSERT_TRUE(Save(adm.get(), kBob, "", {}));
  EXPECT_EQ(LogText("select group_concat(NUSER || ' ' || NTARGET || ' ' || CVALUE || ' ' || "
                    "CTEXT, '; ') from SRV_LOG where CACTION = 'WITHDRAWN'"),
            "3:308 314 KQBRWS M -> V, granted by 308; "
            "308 314 KQBRWS V -> M, granted by 308; "
            "308 314 KQBRWS M -> X, granted by 308; "
            "1 314 KQBRWS M -> X, granted by 308; "
            "1 309 UFUNCPVG V -> X, granted by 0|");
}

// Every save here breaks a rule; each is refused with a reason, none changes a stored set,
// and each refusal is in the audit log.
TEST_P(PrivilegeExchangeTest, TheServerRefusesEveryForbiddenWriteOfANonAdministrator) {
  WriteStore(
      storePath_,
      "insert into UUSRFN(NID, CCODE, CNAME, NFNCHR) values(511, 'LASTPOS', 'Last', 511);"
      "insert or replace into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(311, 'V', x'00000000')");
  // Engineering holds "PDUNIREAD" view, Reviewers "XPRFLWCHK" modify, both granted by the
  // administrator; dave (311) holds "UFUNCPVG" view granted by no one recorded.
  struct Forbidden {
    const char* who;
    const char* password;
    const char* what;
    int node;
    std::string marks;
    Grantors grantors;
    int status;
  } forbidden[] = {
      {"carol", "carol-pw1", "saves without the editor's right", kGrace, "V", {0}, p::kFailed},
      {"bob", "bob-pw1", "grants without \"UUSR\" modify", kGrace, "V", {0}, p::kFailed},
      {"bob",
       "bob-pw1",
       "withdraws alice's right granted by the administrator",
       kAlice,
       "",
       {},
       p::kFailed},
      {"alice",
       "alice-pw1",
       "withdraws a right the administrator granted",
       kEng,
       "",
       {},
       p::kFailed},
      {"alice",
       "alice-pw1",
       "raises another's view right to modify",
       kEng,
       "XXM",
       {0, 0, 0},
       p::kFailed},
      {"alice", "alice-pw1", "lowers another's modify right to view", kReview, "XXXXXXXXXXV",
       Grantors(11, 0), p::kFailed},
      {"alice", "alice-pw1", "withdraws a right whose grantor is unknown", 311, "", {}, p::kFailed},
      {"alice",
       "alice-pw1",
       "names herself grantor of a kept right",
       kEng,
       "XXV",
       {0, 0, kAlice},
       p::kFailed},
      {"alice", "alice-pw1", "grants a position no catalogue entry owns", kGrace,
       WithMark("", 14, 'M'), Grantors(14, 0), p::kFailed},
      {"alice", "alice-pw1", "sends 512 characters", kGrace, WithMark("", 512, 'M'),
       Grantors(512, 0), p::kFailed},
      {"alice", "alice-pw1", "sends lower case", kGrace, "v", {0}, p::kFailed},
      {"alice", "alice-pw1", "sends another letter", kGrace, "A", {0}, p::kFailed},
      {"alice", "alice-pw1", "sends a blank", kGrace, "M V", {0, 0, 0}, p::kFailed},
      {"alice",
       "alice-pw1",
       "sends a zero inside the string",
       kGrace,
       std::string("M\0V", 3),
       {0, 0, 0},
       p::kFailed},
      {"alice", "alice-pw1", "saves a record that does not exist", 9999, "V", {0}, p::kFailed},
      {"alice", "alice-pw1", "sends fewer grantors than marks", kGrace, "VV", {0}, p::kBadMessage},
  };
  std::map<std::string, Connection> sessions;
  for (const Forbidden& f : forbidden) {
    if (!sessions.contains(f.who)) sessions[f.who] = LogonAs(f.who, f.password);
  }
  const std::vector<std::string> before = StoredSets();
  for (const Forbidden& f : forbidden) {
    const Step answer = SaveRaw(sessions[f.who].get(), f.node, f.marks, f.grantors);
    EXPECT_EQ(answer.status, f.status) << f.who << " " << f.what;
    if (f.status == p::kFailed) {
      EXPECT_FALSE(answer.reason.empty()) << f.who << " " << f.what;
    }
    EXPECT_EQ(StoredSets(), before) << f.who << " " << f.what;
  }
  EXPECT_EQ(LogText("select count(*) from SRV_LOG where CACTION = 'REFUSED' and "
                    "CTABLE = 'privilege'"),
            "1:" + std::to_string(std::size(forbidden) - 1) + "|");
  // Reading needs the editor's right too, and nothing is answered before a logon.
  EXPECT_EQ(ReadFirst(sessions["carol"].get(), kGrace).status, p::kFailed);
  EXPECT_FALSE(Read(sessions["carol"].get(), kCarol).ok);
  Connection stranger = Open();
  EXPECT_EQ(ReadFirst(stranger.get(), kGrace).status, p::kNotLoggedOn);
  EXPECT_EQ(SaveFirst(stranger.get(), kGrace, "M").status, p::kNotLoggedOn);

  // The last position a string holds is granted like any other.
  const std::string last = WithMark("", 511, 'V');
  ASSERT_TRUE(Save(sessions["alice"].get(), kGrace, last, Grantors(511, 0)));
  EXPECT_EQ(Read(sessions["alice"].get(), kGrace).marks, last);
}

TEST_P(PrivilegeExchangeTest, TheAdministratorChangesAnyMarkAndKeepsTheGrantorOfWhatStays) {
  Connection adm = Adm();
  // Engineering's view of "PDUNIREAD" raised to modify: a grant by the administrator.
  ASSERT_TRUE(Save(adm.get(), kEng, "XXM", {0, 0, 0}));
  // Reviewers' modify lowered to view: the view stays the original grant.
  WriteStore(storePath_, "update SRV_PRIVILEGE set BGRANTORS = x'" + std::string(80, '0') +
                             "34010000' where NID = 306");
  ASSERT_TRUE(Save(adm.get(), kReview, "XXXXXXXXXXV", Grantors(11, 0)));
  EXPECT_EQ(Read(adm.get(), kReview).grantors.back(), static_cast<std::uint32_t>(kAlice));
  EXPECT_EQ(LogText("select group_concat(CACTION || ' ' || NTARGET || ' ' || CVALUE || ' ' || "
                    "CTEXT, '; ') from SRV_LOG where CTABLE = 'privilege'"),
            "3:WITHDRAWN 301 PDUNIREAD V -> M, granted by 1; GRANTED 301 PDUNIREAD V -> M; "
            "WITHDRAWN 306 XPRFLWCHK M -> V, granted by 308|");
}

// The privilege answer reads the strings the editor writes, with no cache in between: a
// session open before a grant sees it at once, and after the administrator's reload, and a
// new session too.
TEST_P(PrivilegeExchangeTest, TheGatesSeeAGrantAtOnceInOpenAndNewSessions) {
  Connection grace = LogonAs("grace", "grace-pw1");
  int view = -1, modify = -1;
  ASSERT_EQ(XCliGetFuncPvg(grace.get(), -1, "KQBRWS", &view, &modify), 1);
  EXPECT_EQ(std::make_pair(view, modify), std::make_pair(0, 0));

  Connection adm = Adm();
  Set eng = Read(adm.get(), kEng);  // grace's department
  ASSERT_TRUE(eng.ok);
  const std::string granted = WithMark(eng.marks, kKqBrws, 'M');
  Grantors grantors = eng.grantors;
  grantors.resize(granted.size(), 0);
  ASSERT_TRUE(Save(adm.get(), kEng, granted, grantors));

  ASSERT_EQ(XCliGetFuncPvg(grace.get(), -1, "KQBRWS", &view, &modify), 1);
  EXPECT_EQ(std::make_pair(view, modify), std::make_pair(1, 1));
  EXPECT_EQ(hrz::ReloadServerRequest(adm.get(), p::kReloadFromPrivilegeEditor),
            hrz::ReloadOutcome::kDone);
  ASSERT_EQ(XCliGetFuncPvg(grace.get(), -1, "KQBRWS", &view, &modify), 1);
  EXPECT_EQ(std::make_pair(view, modify), std::make_pair(1, 1));
  Connection again = LogonAs("grace", "grace-pw1");
  ASSERT_EQ(XCliGetFuncPvg(again.get(), -1, "KQBRWS", &view, &modify), 1);
  EXPECT_EQ(std::make_pair(view, modify), std::make_pair(1, 1));

  ASSERT_TRUE(Save(adm.get(), kEng, eng.marks, eng.grantors));
  ASSERT_EQ(XCliGetFuncPvg(grace.get(), -1, "KQBRWS", &view, &modify), 1);
  EXPECT_EQ(std::make_pair(view, modify), std::make_pair(0, 0));
}

// Rights come down every level of departments and roles, through each place a user sits.
TEST_P(PrivilegeExchangeTest, RightsAreInheritedThroughEveryLevelAndRole) {
  Connection adm = Adm();
  ASSERT_TRUE(Save(adm.get(), kEng, WithMark("XXV", kKqWaifa, 'V'), Grantors(kKqWaifa, 0)));
  ASSERT_TRUE(Save(adm.get(), kMech, WithMark("", kKqBrws, 'M'), Grantors(kKqBrws, 0)));
  struct Expected {
    int nid;
    const char* code;
    std::pair<int, int> flags;
  } expected[] = {
      {kBob, "KQWAIFA", {1, 0}},      // Mechanical Design, under Engineering
      {kAlice, "KQWAIFA", {1, 0}},    // CAD Team, two levels under Engineering
      {kAlice, "KQBRWS", {1, 1}},     // CAD Team, under Mechanical Design
      {kAlice, "XPRFLWCHK", {1, 1}},  // the role Reviewers
      {kBob, "XPRFLWCHK", {0, 0}},   {kCarol, "KQWAIFA", {0, 0}},  // Sales
      {kGrace, "KQBRWS", {0, 0}},  // Engineering, above Mechanical Design
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(Gate(adm.get(), e.nid, e.code), e.flags) << e.nid << " " << e.code;
  }

  // The marks the editor reads for alice and every department and role above her are the
  // flags the gates see, code by code.
  std::set<int> nodes{kAlice};
  for (std::size_t seen = 0; seen != nodes.size();) {
    seen = nodes.size();
    for (int nid : std::set<int>(nodes)) {
      XCliGenRS rs(adm.get());
      ASSERT_TRUE(rs.Open(
          1, ("select NPID from UUSRBM where NPID > 0 and NCID = " + std::to_string(nid)).c_str()));
      for (; !rs.IsEOF(); rs.MoveNext()) {
        int parent = 0;
        rs.GetFieldValue(0, XCLI_TYPE_INT32, &parent, 4);
        nodes.insert(parent);
      }
    }
  }
  EXPECT_EQ(nodes, (std::set<int>{2, kEng, kMech, 303, 305, kReview, kAlice}));
  std::string view(12, '0'), modify(12, '0');
  for (int nid : nodes) {
    const Set set = Read(adm.get(), nid);
    ASSERT_TRUE(set.ok) << nid;
    for (std::size_t i = 0; i < set.marks.size() && i < 12; ++i) {
      if (set.marks[i] == 'M') modify[i] = '1';
      if (set.marks[i] == 'M' || set.marks[i] == 'V') view[i] = '1';
    }
  }
  const char* const codes[] = {"UFUNCPVG", "UUSR",    "PDUNIREAD", "KQDECRPT",
                               "KQCHECK",  "KQDNDEC", "KQWAIFA",   "KQWFCHK",
                               "KQWFDOWN", "KQBRWS",  "XPRFLWCHK", "XPRFLWRLS"};
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(Gate(adm.get(), kAlice, codes[i]), std::make_pair(view[i] - '0', modify[i] - '0'))
        << codes[i];
  }
  EXPECT_EQ(view, "111000100110");
  EXPECT_EQ(modify, "010000000110");
}

INSTANTIATE_TEST_SUITE_P(Store, PrivilegeExchangeTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
