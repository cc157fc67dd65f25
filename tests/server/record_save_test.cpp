// The record save (68, 4, x) sent a frame at a time to the engine: messages split into
// earlier and last ones, malformed messages, the rights behind each field, new records and
// code uniqueness. In these tests the department Quality Assurance holds "UUSR" modify, so
// alice (308) and dave (311) manage users through it; bob (309) and grace (314) are
// ordinary users.
#include <gtest/gtest.h>

#include <map>

#include "hrzcommon/wire.h"
#include "support/engine_fixture.h"
#include "support/save_message.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;

constexpr int kAdm = 1, kRoot = 2, kEng = 301, kMech = 302, kQa = 305, kReview = 306;
constexpr int kAlice = 308, kBob = 309, kFrank = 313, kGrace = 314;

// The NIDs a saved record's reply block carries.
struct SavedNids {
  std::int32_t item = 0, link = 0;
};

class RecordSaveTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ExecStore("insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(305, 'XM', " +
              BytesLiteral("0100000001000000") + ")");
  }

  Answer Save(hrzsrv::Session& session, const SaveBytes& body, bool last = true) {
    return Send(session, last ? p::kRecordSaveLast : p::kRecordSaveEarly, body);
  }
  // One whole save in one message.
  Answer SaveOnce(hrzsrv::Session& session, const SaveBlockSpec& block,
                  const std::vector<SaveBytes>& entries) {
    return Save(session, SaveBody(block, entries));
  }

  static SavedNids NidsOf(const Answer& answer) {
    SavedNids nids;
    if (answer.body.size() >= p::kRecordLinkNidReplyOffset + 4) {
      nids.item = wire::ReadInt32(&answer.body[p::kRecordItemNidOffset]);
      nids.link = wire::ReadInt32(&answer.body[p::kRecordLinkNidReplyOffset]);
    }
    return nids;
  }

  // Every record and link as a save could change it (a logon writes the client version).
  std::vector<std::string> Organisation() {
    std::vector<std::string> rows = StoreCells(
        "select NID, CCODE, CNAME, CSRC, NSTAT, NCRTOR, DCRTE, DMODI, CPWDRULE, "
        "NPWDDAYS, DMODIPWD, CLGNIP, CLGNMAC from UUSR order by NID");
    for (std::string& link : StoreCells("select * from UUSRBM order by NID")) {
      rows.push_back("link " + link);
    }
    return rows;
  }

  std::string Refusals() {
    return StoreText(
        "select count(*) from SRV_LOG where CACTION = 'REFUSED' and CTABLE = "
        "'record save'");
  }
};

TEST_F(RecordSaveTest, EarlierMessagesAreKeptAndTheLastAppliesTheWholeSave) {
  auto adm = LoggedOn("adm", kAdminPassword);
  const std::vector<std::string> before = Organisation();
  Answer first = Save(*adm, SaveBody(UpdateOf(kBob), {Entry("UUSR.CNAME", "Robert Baker")}), false);
  EXPECT_EQ(first.status, p::kRecordChunkKept);
  EXPECT_TRUE(first.body.empty());
  EXPECT_EQ(Save(*adm, SaveBody(std::nullopt, {Entry("UUSR.CLGNIP", "10.0.0.*")}), false).status,
            p::kRecordChunkKept);
  // Nothing is applied before the last message.
  EXPECT_EQ(Organisation(), before);

  Answer last = Save(*adm, SaveBody(std::nullopt, {Entry("UUSR.DMODI", "20260301.101500")}));
  ASSERT_EQ(last.status, p::kRecordSaved);
  ASSERT_EQ(last.body.size(), 2 + p::kRecordBlockSize + 2);
  EXPECT_EQ(last.body[0] | (last.body[1] << 8), static_cast<int>(p::kRecordBlockSize));
  EXPECT_EQ(NidsOf(last).item, kBob);
  EXPECT_EQ(NidsOf(last).link, -1);  // an update without a link keeps none
  EXPECT_EQ(StoreCells("select CNAME, CLGNIP, DMODI from UUSR where NID = 309"),
            std::vector<std::string>{"3:Robert Baker|3:10.0.0.*|2:20260301.1015|"});

  // The next save starts afresh: its first message carries a block again. Saved through
  // its place in the tree, the record keeps that link.
  const int link = std::stoi(StoreText("select NID from UUSRBM where NCID = 309"));
  Answer again = SaveOnce(*adm, UpdateOf(kBob, link), {Entry("UUSR.CNAME", "Bob Baker")});
  EXPECT_EQ(again.status, p::kRecordSaved);
  EXPECT_EQ(NidsOf(again).item, kBob);
  EXPECT_EQ(NidsOf(again).link, link);
  EXPECT_EQ(StoreText("select CNAME from UUSR where NID = 309"), "Bob Baker");
}

TEST_F(RecordSaveTest, AMalformedMessageIsRefusedAndDropsTheSaveInProgress) {
  auto adm = LoggedOn("adm", kAdminPassword);
  const SaveBytes name = Entry("UUSR.CNAME", "Changed");
  auto with = [](SaveBlockSpec spec, auto change) {
    change(spec);
    return spec;
  };
  SaveBytes longer = name;
  longer[p::kSaveFieldNameWidth + 3] += 1;  // value length one past the entry
  SaveBytes shorter = name;
  shorter.pop_back();
  SaveBytes wrongType = name;
  wrongType[p::kSaveFieldNameWidth + 1] = 2;
  SaveBytes flagged = name;
  flagged[p::kSaveFieldNameWidth] = 1;
  SaveBytes unflaggedKind = Entry("UUSR.CSRC", "UDEPT");
  unflaggedKind[p::kSaveFieldNameWidth] = 0;
  SaveBytes unpadded = name;
  unpadded[p::kSaveFieldNameWidth - 1] = 'x';  // a byte after the name's zero
  SaveBytes blockWithReserved = BlockBytes(UpdateOf(kBob));
  blockWithReserved[p::kRecordReservedOffset] = 1;
  auto raw = [](std::vector<SaveBytes> fields) {
    wire::BodyWriter body;
    for (const SaveBytes& field : fields) body.PutBytes(field.data(), field.size());
    return body.Finish();
  };
  const SaveBytes count1 = {1, 0, 0, 0};
  struct Case {
    const char* what;
    SaveBytes body;
  } cases[] = {
      {"count above the entries", SaveBody(UpdateOf(kBob), {name}, 2)},
      {"count below the entries", SaveBody(UpdateOf(kBob), {name, Entry("UUSR.DMODI", "1")}, 1)},
      {"count of 2 bytes", raw({{1, 0}, BlockBytes(UpdateOf(kBob)), name})},
      {"no block", SaveBody(std::nullopt, {name})},
      {"block of 191 bytes", raw({count1, SaveBytes(191, 0), name})},
      {"block with reserved bytes set", raw({count1, blockWithReserved, name})},
      {"no field but the count", raw({count1})},
      {"empty body", {}},
      {"name without a table", SaveBody(UpdateOf(kBob), {Entry("CNAME", "x")})},
      {"another table", SaveBody(UpdateOf(kBob), {Entry("UUSRFN.CNAME", "x")})},
      {"unknown column", SaveBody(UpdateOf(kBob), {Entry("UUSR.CNOSUCH", "x")})},
      {"link column other than the view flag",
       SaveBody(UpdateOf(kBob), {Entry("UUSRBM.NPID", "2")})},
      {"the record's NID", SaveBody(UpdateOf(kBob), {Entry("UUSR.NID", "1")})},
      {"failed logons (the server's)", SaveBody(UpdateOf(kBob), {Entry("UUSR.NTRYLGN", "")})},
      {"client version (the server's)", SaveBody(UpdateOf(kBob), {Entry("UUSR.NUPCLIVR", "1")})},
      {"signature name (the server's)", SaveBody(UpdateOf(kBob), {Entry("UUSR.CBMPSG", "x")})},
      {"password field", SaveBody(UpdateOf(kBob), {Entry("UUSR.CPWD", "secret")})},
      {"empty field name", SaveBody(UpdateOf(kBob), {Entry("", "x")})},
      {"value length past the entry", SaveBody(UpdateOf(kBob), {longer})},
      {"value length short of the entry", SaveBody(UpdateOf(kBob), {shorter})},
      {"entry shorter than its header", SaveBody(UpdateOf(kBob), {SaveBytes(20, 'U')})},
      {"value type 2", SaveBody(UpdateOf(kBob), {wrongType})},
      {"flag on a field that is not the kind", SaveBody(UpdateOf(kBob), {flagged})},
      {"kind without its flag",
       SaveBody(NewUnder(kEng), {Entry("UUSR.CCODE", "x"), unflaggedKind})},
      {"name not zero-padded", SaveBody(UpdateOf(kBob), {unpadded})},
      {"zero byte in a value",
       SaveBody(UpdateOf(kBob), {Entry("UUSR.CNAME", std::string("a\0b", 3))})},
      {"field given twice", SaveBody(UpdateOf(kBob), {name, Entry("uusr.cname", "Other")})},
      {"item table not UUSR",
       SaveBody(with(UpdateOf(kBob), [](auto& s) { s.table = "UUSRX"; }), {name})},
      {"link table not UUSRBM",
       SaveBody(with(UpdateOf(kBob), [](auto& s) { s.linkTable = "UUSR"; }), {name})},
      {"layout name not terminated",
       SaveBody(with(UpdateOf(kBob), [](auto& s) { s.layout = std::string(98, 'L'); }), {name})},
      {"item mode 3", SaveBody(with(UpdateOf(kBob), [](auto& s) { s.itemMode = 3; }), {name})},
      {"update of NID 0", SaveBody(UpdateOf(0), {name})},
      {"update with a parent",
       SaveBody(with(UpdateOf(kBob), [](auto& s) { s.parentNid = kEng; }), {name})},
      {"update with link mode 2",
       SaveBody(with(UpdateOf(kBob), [](auto& s) { s.linkMode = 2; }), {name})},
      {"link mode 1 without a link NID",
       SaveBody(with(UpdateOf(kBob), [](auto& s) { s.linkMode = 1; }), {name})},
      {"new record with an NID",
       SaveBody(with(NewUnder(kEng), [](auto& s) { s.itemNid = kBob; }), {name})},
      {"new record without a parent", SaveBody(NewUnder(0), {name})},
      {"new record with link mode 1",
       SaveBody(with(NewUnder(kEng), [](auto& s) { s.linkMode = 1; }), {name})},
  };
  const std::vector<std::string> before = Organisation();
  for (const Case& c : cases) {
    // A good earlier message first: the malformed one must drop it with itself.
    ASSERT_EQ(Save(*adm, SaveBody(UpdateOf(kGrace), {Entry("UUSR.CNAME", "Kept?")}), false).status,
              p::kRecordChunkKept)
        << c.what;
    Answer answer = Save(*adm, c.body);
    EXPECT_EQ(answer.status, p::kBadMessage) << c.what;
    EXPECT_NE(answer.FirstText(), "<none>") << c.what << ": a reason is given";
    EXPECT_EQ(Organisation(), before) << c.what;
  }
  // A malformed earlier message is refused at once.
  EXPECT_EQ(Save(*adm, SaveBody(UpdateOf(kBob), {name}, 5), false).status, p::kBadMessage);
  // A body that is not fields and a terminator drops the save in progress too.
  ASSERT_EQ(Save(*adm, SaveBody(UpdateOf(kGrace), {Entry("UUSR.CNAME", "Kept?")}), false).status,
            p::kRecordChunkKept);
  EXPECT_EQ(Save(*adm, {1, 0, 7}).status, p::kBadMessage);
  EXPECT_EQ(Save(*adm, SaveBody(UpdateOf(kBob), {Entry("UUSR.CNAME", "Only this")})).status,
            p::kRecordSaved);
  EXPECT_EQ(StoreList("select CNAME from UUSR where NID in (309, 314) order by NID", ", "),
            "Only this, Grace Green");
}

// Well-formed saves that name what is not there or values that cannot be stored.
TEST_F(RecordSaveTest, SavesOfMissingRecordsOrUnusableValuesAreRefused) {
  auto adm = LoggedOn("adm", kAdminPassword);
  const SaveBytes code = Entry("UUSR.CCODE", "newone");
  const SaveBytes user = Entry("UUSR.CSRC", "UUSRI");
  struct Case {
    const char* what;
    SaveBlockSpec block;
    std::vector<SaveBytes> entries;
  } cases[] = {
      {"no such record", UpdateOf(9999), {Entry("UUSR.CNAME", "x")}},
      {"parent is a user", NewUnder(kBob), {code, user}},
      {"parent does not exist", NewUnder(9999), {code, user}},
      {"new record without a code", NewUnder(kEng), {user}},
      {"new record without a kind", NewUnder(kEng), {code}},
      {"empty code", NewUnder(kEng), {Entry("UUSR.CCODE", " \t"), user}},
      {"code of 128 bytes", NewUnder(kEng), {Entry("UUSR.CCODE", std::string(128, 'c')), user}},
      {"unknown kind", NewUnder(kEng), {code, Entry("UUSR.CSRC", "UFOO")}},
      {"state not a number", UpdateOf(kBob), {Entry("UUSR.NSTAT", "Normal")}},
      {"state beyond 32 bits", UpdateOf(kBob), {Entry("UUSR.NSTAT", "4294967551")}},
      {"date not a number", UpdateOf(kBob), {Entry("UUSR.DMODI", "today")}},
      {"view flag other than T", NewUnder(kEng), {code, user, Entry("UUSRBM.CVWA", "F")}},
      {"link field without a link", UpdateOf(kBob), {Entry("UUSRBM.CVWA", "T")}},
      {"link of another record", UpdateOf(kBob, 1), {Entry("UUSRBM.CVWA", "T")}},
  };
  const std::vector<std::string> before = Organisation();
  for (const Case& c : cases) {
    Answer answer = SaveOnce(*adm, c.block, c.entries);
    EXPECT_EQ(answer.status, p::kRecordSaveRefused) << c.what;
    EXPECT_NE(answer.FirstText(), "<none>") << c.what;
    EXPECT_EQ(Organisation(), before) << c.what;
  }
}

struct RightsCase {
  const char* who;
  const char* password;
  const char* what;
  SaveBlockSpec block;
  std::vector<SaveBytes> entries;
};

// Hand-built saves that the record pane would never send for that user: each is refused
// whole, changes nothing and is audited.
TEST_F(RecordSaveTest, ASaveOutsideTheSessionsRightsChangesNothing) {
  const SaveBytes user = Entry("UUSR.CSRC", "UUSRI");
  const RightsCase cases[] = {
      {"bob", "bob-pw1", "another user's name", UpdateOf(kGrace), {Entry("UUSR.CNAME", "x")}},
      {"bob", "bob-pw1", "a department's name", UpdateOf(kMech), {Entry("UUSR.CNAME", "x")}},
      {"bob", "bob-pw1", "its own code", UpdateOf(kBob), {Entry("UUSR.CCODE", "robert")}},
      {"bob", "bob-pw1", "its own code's case", UpdateOf(kBob), {Entry("UUSR.CCODE", "BOB")}},
      {"bob", "bob-pw1", "its own state", UpdateOf(kBob), {Entry("UUSR.NSTAT", "254")}},
      {"bob", "bob-pw1", "its own kind", UpdateOf(kBob), {Entry("UUSR.CSRC", "UDEPT")}},
      {"bob", "bob-pw1", "its own rule", UpdateOf(kBob), {Entry("UUSR.CPWDRULE", "L0")}},
      {"bob", "bob-pw1", "its own lifetime", UpdateOf(kBob), {Entry("UUSR.NPWDDAYS", "999")}},
      {"bob",
       "bob-pw1",
       "its own change date",
       UpdateOf(kBob),
       {Entry("UUSR.DMODIPWD", "20990101")}},
      {"bob", "bob-pw1", "its own IP list", UpdateOf(kBob), {Entry("UUSR.CLGNIP", "all")}},
      {"bob", "bob-pw1", "its own machines", UpdateOf(kBob), {Entry("UUSR.CLGNMAC", "all")}},
      {"bob", "bob-pw1", "its own creator", UpdateOf(kBob), {Entry("UUSR.NCRTOR", "bob")}},
      {"bob", "bob-pw1", "its own creation date", UpdateOf(kBob), {Entry("UUSR.DCRTE", "1")}},
      {"bob",
       "bob-pw1",
       "a new department",
       NewUnder(kEng, "UDEPT New"),
       {Entry("UUSR.CCODE", "BOBS"), Entry("UUSR.CSRC", "UDEPT")}},
      {"alice",
       "alice-pw1",
       "another user's code",
       UpdateOf(kBob),
       {Entry("UUSR.CCODE", "robert")}},
      {"alice",
       "alice-pw1",
       "the administrator's name",
       UpdateOf(kAdm),
       {Entry("UUSR.CNAME", "x")}},
      {"alice",
       "alice-pw1",
       "the administrator's rule",
       UpdateOf(kAdm),
       {Entry("UUSR.CPWDRULE", "L0")}},
      {"alice",
       "alice-pw1",
       "the administrator's state",
       UpdateOf(kAdm),
       {Entry("UUSR.NSTAT", "254")}},
      {"alice", "alice-pw1", "its own state", UpdateOf(kAlice), {Entry("UUSR.NSTAT", "1")}},
      {"alice", "alice-pw1", "the root's state", UpdateOf(kRoot), {Entry("UUSR.NSTAT", "254")}},
      {"alice", "alice-pw1", "its own IP list", UpdateOf(kAlice), {Entry("UUSR.CLGNIP", "all")}},
      {"alice", "alice-pw1", "its own rule", UpdateOf(kAlice), {Entry("UUSR.CPWDRULE", "L0")}},
      {"alice", "alice-pw1", "another user's kind", UpdateOf(kBob), {Entry("UUSR.CSRC", "KQUSR")}},
      {"alice",
       "alice-pw1",
       "a record with the reserved code",
       NewUnder(kEng),
       {Entry("UUSR.CCODE", " ADM "), user}},
      {"alice",
       "alice-pw1",
       "a record created by bob",
       NewUnder(kEng),
       {Entry("UUSR.CCODE", "newbie"), user, Entry("UUSR.NCRTOR", "bob")}},
      {"adm", kAdminPassword, "its own code", UpdateOf(kAdm), {Entry("UUSR.CCODE", "root")}},
      {"adm", kAdminPassword, "its own state", UpdateOf(kAdm), {Entry("UUSR.NSTAT", "254")}},
      {"adm", kAdminPassword, "the root's state", UpdateOf(kRoot), {Entry("UUSR.NSTAT", "254")}},
      {"adm", kAdminPassword, "its own machines", UpdateOf(kAdm), {Entry("UUSR.CLGNMAC", "all")}},
      {"adm",
       kAdminPassword,
       "another user's code to the reserved one",
       UpdateOf(kBob),
       {Entry("UUSR.CCODE", "Adm")}},
      {"adm",
       kAdminPassword,
       "a record with the reserved code",
       NewUnder(kRoot),
       {Entry("UUSR.CCODE", "adm"), Entry("UUSR.CSRC", "UDEPT")}},
      {"adm",
       kAdminPassword,
       "a kind after creation",
       UpdateOf(kEng),
       {Entry("UUSR.CSRC", "UROLE")}},
  };
  const std::vector<std::string> before = Organisation();
  int refusals = 0;
  std::map<std::string, std::unique_ptr<hrzsrv::Session>> sessions;
  for (const RightsCase& c : cases) {
    auto& session = sessions[c.who];
    if (!session) session = LoggedOn(c.who, c.password);
    // A change the session may make goes with it, and is not made either.
    std::vector<SaveBytes> entries = c.entries;
    entries.push_back(Entry("UUSR.DMODI", "20260301.1"));
    Answer answer = SaveOnce(*session, c.block, entries);
    EXPECT_EQ(answer.status, p::kRecordSaveNoRight) << c.who << ": " << c.what;
    EXPECT_NE(answer.FirstText(), "<none>") << c.what;
    EXPECT_EQ(Organisation(), before) << c.who << ": " << c.what;
    EXPECT_EQ(Refusals(), std::to_string(++refusals)) << c.what << " is audited";
  }
}

// What the record pane lets each of them change, and a forbidden column sent with its
// stored value, which changes nothing and needs no right.
TEST_F(RecordSaveTest, TheChangesThePaneAllowsAreSaved) {
  const RightsCase cases[] = {
      {"bob",
       "bob-pw1",
       "its own name",
       UpdateOf(kBob),
       {Entry("UUSR.CNAME", "Bobby"), Entry("UUSR.DMODI", "20260301.1")}},
      {"bob",
       "bob-pw1",
       "its own kind and code as stored",
       UpdateOf(kBob),
       {Entry("UUSR.CSRC", "UUSRI"), Entry("UUSR.CCODE", "bob"), Entry("UUSR.CNAME", "Bob B")}},
      {"alice",
       "alice-pw1",
       "another user's state, rule and login lists",
       UpdateOf(kBob),
       {Entry("UUSR.NSTAT", "255"), Entry("UUSR.CPWDRULE", "L8CN"), Entry("UUSR.NPWDDAYS", "90"),
        Entry("UUSR.CLGNIP", "192.168.*.*"), Entry("UUSR.CLGNMAC", "all")}},
      {"alice",
       "alice-pw1",
       "a department's name and rule",
       UpdateOf(kEng),
       {Entry("UUSR.CNAME", "Eng"), Entry("UUSR.CPWDRULE", "L6")}},
      {"alice", "alice-pw1", "its own name", UpdateOf(kAlice), {Entry("UUSR.CNAME", "Ali")}},
      {"adm",
       kAdminPassword,
       "another user's code",
       UpdateOf(kBob),
       {Entry("UUSR.CCODE", "robert")}},
      {"adm",
       kAdminPassword,
       "its own name and rule",
       UpdateOf(kAdm),
       {Entry("UUSR.CNAME", "Admin"), Entry("UUSR.CPWDRULE", "L12CN@")}},
  };
  std::map<std::string, std::unique_ptr<hrzsrv::Session>> sessions;
  for (const RightsCase& c : cases) {
    auto& session = sessions[c.who];
    if (!session) session = LoggedOn(c.who, c.password);
    Answer answer = SaveOnce(*session, c.block, c.entries);
    EXPECT_EQ(answer.status, p::kRecordSaved)
        << c.who << ": " << c.what << ": " << answer.FirstText();
  }
  EXPECT_EQ(StoreCells("select CCODE, CNAME, NSTAT, CPWDRULE, NPWDDAYS, CLGNIP, CLGNMAC "
                       "from UUSR where NID in (1, 301, 308, 309) order by NID"),
            (std::vector<std::string>{"3:adm|3:Admin|1:255|3:L12CN@|1:0|5:|5:|",
                                      "3:ENG|3:Eng|1:255|3:L6|5:|5:|5:|",
                                      "3:alice|3:Ali|1:255|5:|1:0|5:|5:|",
                                      "3:robert|3:Bob B|1:255|3:L8CN|1:90|3:192.168.*.*|3:all|"}));
  EXPECT_EQ(Refusals(), "0");
  // Codes, states and kinds that changed are audited; the same values sent again are not.
  EXPECT_EQ(StoreList("select CVALUE || ' ' || CTEXT from SRV_LOG where CACTION = 'RIGHTS CHANGED' "
                      "order by NID",
                      "; "),
            "UUSR.CCODE 'bob' -> 'robert'");
}

TEST_F(RecordSaveTest, ANewRecordIsNumberedLinkedUnderItsParentAndCreditedToItsCreator) {
  auto alice = LoggedOn("alice", "alice-pw1");
  Answer department = SaveOnce(
      *alice, NewUnder(kEng, "UDEPT New"),
      {Entry("UUSR.CCODE", "TOOLS"), Entry("UUSR.CNAME", "Tooling"), Entry("UUSR.CSRC", "UDEPT"),
       Entry("UUSR.NCRTOR", "ALICE"), Entry("UUSR.DCRTE", "20260301.090000"),
       Entry("UUSR.DMODI", "20260301.090000"), Entry("UUSRBM.CVWA", "T")});
  ASSERT_EQ(department.status, p::kRecordSaved) << department.FirstText();
  const SavedNids dept = NidsOf(department);
  EXPECT_GT(dept.item, 314);  // above the system records and the sample
  EXPECT_GT(dept.link, 0);
  // The reply block is now the block of an update of the saved record.
  EXPECT_EQ(wire::ReadInt32(&department.body[2 + p::kRecordModeOffset]), p::kRecordModeUpdate);
  EXPECT_EQ(wire::ReadInt32(&department.body[2 + p::kRecordLinkModeOffset]), p::kRecordLinkUpdate);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&department.body[2])), "UDEPT New");
  const std::string nid = std::to_string(dept.item);
  EXPECT_EQ(StoreCells("select CCODE, CSRC, NSTAT, NCRTOR, DCRTE from UUSR where NID = " + nid),
            std::vector<std::string>{"3:TOOLS|3:UDEPT|1:255|1:308|2:20260301.09|"});
  EXPECT_EQ(StoreCells("select NID, NPID, CVWA from UUSRBM where NCID = " + nid),
            std::vector<std::string>{"1:" + std::to_string(dept.link) + "|1:301|3:T|"});

  // A user in it, with no creator or date sent: the server fills both in.
  Answer user = SaveOnce(*alice, NewUnder(dept.item),
                         {Entry("UUSR.CCODE", "tina"), Entry("UUSR.CSRC", "uusri")});
  ASSERT_EQ(user.status, p::kRecordSaved) << user.FirstText();
  EXPECT_EQ(NidsOf(user).item, dept.item + 1);
  EXPECT_EQ(StoreCells("select CSRC, NCRTOR, DCRTE is not null from UUSR where CCODE = 'tina'"),
            std::vector<std::string>{"3:UUSRI|1:308|1:1|"});
  EXPECT_EQ(StoreText("select NPID from UUSRBM where NID = " + std::to_string(NidsOf(user).link)),
            nid);
  // A role and the root take new records too.
  EXPECT_EQ(SaveOnce(*alice, NewUnder(kReview),
                     {Entry("UUSR.CCODE", "rita"), Entry("UUSR.CSRC", "UUSRI")})
                .status,
            p::kRecordSaved);
  EXPECT_EQ(SaveOnce(*alice, NewUnder(kRoot, "UROLE New"),
                     {Entry("UUSR.CCODE", "AUDIT"), Entry("UUSR.CSRC", "UROLE")})
                .status,
            p::kRecordSaved);
  // Each creation and its link are in the audit log.
  EXPECT_EQ(StoreText("select count(*) from SRV_LOG where CACTION = 'RIGHTS CHANGED' and "
                      "CVALUE in ('UUSR insert', 'UUSRBM insert')"),
            "8");
  EXPECT_EQ(
      StoreText("select CTEXT from SRV_LOG where CVALUE = 'UUSR insert' and NTARGET = " + nid),
      "CCODE 'TOOLS', NSTAT 255, CSRC 'UDEPT'");
}

TEST_F(RecordSaveTest, CodesStayUniqueWithoutRegardToCaseAndFindCodeAgrees) {
  auto adm = LoggedOn("adm", kAdminPassword);
  const SaveBytes user = Entry("UUSR.CSRC", "UUSRI");
  struct Case {
    const char* what;
    SaveBlockSpec block;
    std::string code;
    int holder;
  } cases[] = {
      {"another user's code in capitals", UpdateOf(kGrace), "BOB", kBob},
      {"a department's code, blanks around it", UpdateOf(kGrace), " eng\t", kEng},
      {"a deleted user's code", UpdateOf(kGrace), "Frank[del]", kFrank},
      {"a new record's code", NewUnder(kQa), "Alice", kAlice},
  };
  const std::vector<std::string> before = Organisation();
  for (const Case& c : cases) {
    std::vector<SaveBytes> entries = {Entry("UUSR.CCODE", c.code)};
    if (c.block.itemMode == p::kRecordModeNew) entries.push_back(user);
    Answer answer = SaveOnce(*adm, c.block, entries);
    EXPECT_EQ(answer.status, p::kRecordSaveCodeTaken) << c.what;
    wire::BodyReader fields = answer.Fields();
    std::string reason;
    std::int32_t holder = 0;
    EXPECT_TRUE(fields.NextText(&reason) && fields.NextInt32(&holder)) << c.what;
    EXPECT_EQ(holder, c.holder) << c.what;
    EXPECT_EQ(Organisation(), before) << c.what;
    // The code lookup the module asks before saving names the same holder.
    wire::BodyWriter find;
    find.PutText(c.code);
    Answer found = Send(*adm, p::kFindCode, find.Finish());
    EXPECT_EQ(found.status, p::kCodeHeld) << c.what;
    EXPECT_EQ(found.body.size(), 8u);
    EXPECT_EQ(wire::ReadInt32(&found.body[2]), c.holder) << c.what;
  }
  // A record keeps its own code, also in another case, and the code is stored trimmed.
  EXPECT_EQ(SaveOnce(*adm, UpdateOf(kGrace), {Entry("UUSR.CCODE", " Grace ")}).status,
            p::kRecordSaved);
  EXPECT_EQ(StoreText("select CCODE from UUSR where NID = 314"), "Grace");
}

TEST_F(RecordSaveTest, ASaveThatIsNeverFinishedAppliesNothing) {
  const std::vector<std::string> before = Organisation();
  {
    auto adm = LoggedOn("adm", kAdminPassword);
    ASSERT_EQ(Save(*adm, SaveBody(UpdateOf(kBob), {Entry("UUSR.CNAME", "Gone")}), false).status,
              p::kRecordChunkKept);
  }  // the session ends between the messages
  EXPECT_EQ(Organisation(), before);

  // A save begun before a logon as another user is not finished by it: the next message
  // has to open a save of its own.
  auto session = LoggedOn("adm", kAdminPassword);
  ASSERT_EQ(Save(*session, SaveBody(UpdateOf(kBob), {Entry("UUSR.CNAME", "Gone")}), false).status,
            p::kRecordChunkKept);
  ASSERT_EQ(Logon(*session, "bob", "bob-pw1").status, p::kLogonOk);
  EXPECT_EQ(Save(*session, SaveBody(std::nullopt, {Entry("UUSR.DMODI", "1")})).status,
            p::kBadMessage);
  EXPECT_EQ(Organisation(), before);
}

TEST_F(RecordSaveTest, ASessionKeepsAtMostAMebibyteOfASave) {
  auto adm = LoggedOn("adm", kAdminPassword);
  const std::string value(30000, 'x');
  int kept = 0;
  Answer answer = Save(*adm, SaveBody(UpdateOf(kBob), {Entry("UUSR.CNAME", value)}), false);
  while (answer.status == p::kRecordChunkKept && kept < 100) {
    ++kept;
    answer = Save(*adm, SaveBody(std::nullopt, {Entry("UUSR.CLGNIP", value)}), false);
  }
  EXPECT_EQ(answer.status, p::kRecordSaveTooLarge);
  // Body bytes: count, block and entry fields, terminator.
  const std::size_t firstBytes = 6 + 194 + 31 + value.size() + 2;
  const std::size_t laterBytes = 6 + 31 + value.size() + 2;
  EXPECT_EQ(kept, static_cast<int>((p::kRecordSavePendingMax - firstBytes) / laterBytes + 1));
  // What was kept is gone: the next message opens a new save.
  EXPECT_EQ(Save(*adm, SaveBody(std::nullopt, {Entry("UUSR.DMODI", "1")})).status, p::kBadMessage);
  EXPECT_EQ(StoreText("select CNAME from UUSR where NID = 309"), "Bob Baker");
}

}  // namespace
}  // namespace hrztest
