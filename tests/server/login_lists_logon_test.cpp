// The login lists at logon, in process and over TLS: which list refuses whom, how the lists
// of departments and roles above a user fence it, what a refusal costs, and the record of
// the machines that log on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/stores.h"
#include "xclidb.h"

namespace hrztest {
namespace {

constexpr const char* kBoundMachine = "100200300400500600700800900101";
constexpr const char* kOtherMachine = "314159265358979323846264338327";
constexpr const char* kElsewhere = "203.0.113.*";  // no address of a test machine

struct Outcome {
  int status = 0;
  std::string text;
};

class LoginListsTest : public ClientTest {
 protected:
  Outcome LogonFrom(const char* machine, const char* code, const char* password) {
    Connection db = Open();
    Outcome outcome;
    if (!db) return outcome;
    EXPECT_EQ(XCliDB_SetMachineCode(db.get(), machine), 1);
    char text[512] = {};
    XCliDB_Logon(db.get(), code, password, 260101, &outcome.status, text, sizeof text);
    outcome.text = text;
    return outcome;
  }
  void SetList(const char* column, const char* code, const std::string& list) {
    WriteStore(storePath_, std::string("update UUSR set ") + column + " = '" + list +
                               "' where CCODE = '" + code + "'");
  }
};

// bob hangs under MECH under ENG; alice under CAD (under MECH), QA and the role REVIEW.
TEST_P(LoginListsTest, EveryListOnTheWayUpMustAdmitTheLogon) {
  struct ListSetting {
    const char* column;
    const char* owner;
    std::string list;
  };
  struct Case {
    const char* name;
    std::vector<ListSetting> lists;
    const char* user;
    int status;
    std::string named;  // the list the refusal names
  };
  const std::string bound = std::string("<none>; ") + kBoundMachine;
  const Case cases[] = {
      {"no lists", {}, "bob", 31, ""},
      {"own IP list elsewhere", {{"CLGNIP", "bob", kElsewhere}}, "bob", 35, "of bob"},
      {"own IP list with a wildcard here",
       {{"CLGNIP", "bob", "10.*.*.*, 127.0.?.*"}},
       "bob",
       31,
       ""},
      {"own IP list of everyone", {{"CLGNIP", "bob", "<ALL>"}}, "bob", 31, ""},
      {"blank IP list", {{"CLGNIP", "bob", "  "}}, "bob", 31, ""},
      {"IP list of a department two levels up",
       {{"CLGNIP", "ENG", kElsewhere}},
       "bob",
       35,
       "of ENG"},
      {"own list cannot widen the department's",
       {{"CLGNIP", "bob", "all"}, {"CLGNIP", "ENG", kElsewhere}},
       "bob",
       35,
       "of ENG"},
      {"own machine list holds this machine", {{"CLGNMAC", "bob", bound}}, "bob", 31, ""},
      {"own machine list holds another",
       {{"CLGNMAC", "bob", kOtherMachine}},
       "bob",
       36,
       "of bob does not hold this machine (" + std::string(kBoundMachine) + ")"},
      {"machine list of a role", {{"CLGNMAC", "REVIEW", kOtherMachine}}, "alice", 36, "of REVIEW"},
      {"machine list of a department the user is not under",
       {{"CLGNMAC", "SALES", kOtherMachine}},
       "alice",
       31,
       ""},
      {"the root's lists fence users", {{"CLGNIP", "ORG", kElsewhere}}, "bob", 35, "of ORG"},
      {"but not the administrator",
       {{"CLGNIP", "ORG", kElsewhere}, {"CLGNMAC", "ORG", kOtherMachine}},
       "adm",
       31,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteStore(storePath_, "update UUSR set CLGNIP = null, CLGNMAC = null");
    for (const ListSetting& l : c.lists) SetList(l.column, l.owner, l.list);
    const std::string password =
        std::string(c.user) == "adm" ? kAdminPassword : std::string(c.user) + "-pw1";
    const Outcome outcome = LogonFrom(kBoundMachine, c.user, password.c_str());
    EXPECT_EQ(outcome.status, c.status) << outcome.text;
    if (c.status != 31) {
      EXPECT_NE(outcome.text.find(c.named), std::string::npos) << outcome.text;
    }
  }
}

TEST_P(LoginListsTest, ARefusedPlaceIsNoWrongPasswordAndIsAudited) {
  SetList("CLGNIP", "bob", kElsewhere);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(LogonFrom(kBoundMachine, "bob", "bob-pw1").status, 35) << "attempt " << i;
  }
  EXPECT_EQ(StoreRows(storePath_, "select NTRYLGN from UUSR where CCODE = 'bob'"),
            std::vector<std::string>{"5:|"})
      << "six refusals with the limit at five lock nothing";
  const Outcome wrong = LogonFrom(kBoundMachine, "bob", "not-bobs");
  EXPECT_EQ(wrong.status, 32) << "a wrong password is told as such, and counts";
  EXPECT_EQ(wrong.text, "pwd_try_left=4");
  EXPECT_EQ(LogonFrom(kBoundMachine, "bob", "bob-pw1").status, 35);
  EXPECT_EQ(StoreRows(storePath_, "select NTRYLGN from UUSR where CCODE = 'bob'"),
            std::vector<std::string>{"1:1|"})
      << "a refused place with the right password does not clear the count either";
  EXPECT_EQ(
      StoreRows(storePath_,
                "select count(*) from SRV_LOG where CACTION = 'LOGON FAILED' and "
                "NTARGET = 309 and CVALUE = 'CLGNIP' and CTEXT like '%login IP list of bob%'"),
      std::vector<std::string>{"1:7|"});
  SetList("CLGNIP", "bob", "");
  EXPECT_EQ(LogonFrom(kBoundMachine, "bob", "bob-pw1").status, 31);
}

TEST_P(LoginListsTest, LogonsNoteTheirMachine) {
  const char* columns =
      "select CNAME <> '', CIPS like '%127.0.0.1%', CORGCODES, CUSER, NUPCLIVR, "
      "DCRTE = DMODI from USETUPINFO where CCODE = ";
  const std::string fresh = std::string("'") + "111111111122222222223333333333" + "'";
  EXPECT_EQ(LogonFrom("1111111111 2222222222 3333333333", "alice", "alice-pw1").status, 31);
  EXPECT_EQ(StoreRows(storePath_, columns + fresh),
            (std::vector<std::string>{"1:1|1:1|3:CAD, QA, REVIEW|3:alice|1:260101|1:1|"}));
  WriteStore(storePath_, "update USETUPINFO set DCRTE = 20200101.0 where CCODE = " + fresh);
  EXPECT_EQ(LogonFrom("111111111122222222223333333333", "bob", "bob-pw1").status, 31);
  EXPECT_EQ(StoreRows(storePath_, columns + fresh),
            (std::vector<std::string>{"1:1|1:1|3:MECH|3:bob|1:260101|1:0|"}))
      << "the same machine is one row, with its first day kept";
  EXPECT_EQ(StoreRows(storePath_, "select count(*) from USETUPINFO"),
            std::vector<std::string>{"1:4|"});
  // A refused logon notes nothing.
  SetList("CLGNMAC", "bob", kBoundMachine);
  EXPECT_EQ(LogonFrom(kOtherMachine, "bob", "bob-pw1").status, 36);
  EXPECT_EQ(StoreRows(storePath_, std::string("select CUSER from USETUPINFO where CCODE = '") +
                                      kOtherMachine + "'"),
            std::vector<std::string>{"3:carol|"});
}

TEST_P(LoginListsTest, ThisMachinesCodeIsSentWhenNoneIsSet) {
  char code[XCLI_MACHINE_CODE_SIZE] = {};
  ASSERT_EQ(XCliGetMachineCode(code, sizeof code), 1);
  SetList("CLGNMAC", "bob", std::string("all-but-this, ") + code);
  Connection db = Open();
  ASSERT_TRUE(db);
  EXPECT_EQ(XCliDB_SetMachineCode(db.get(), "12345"), 0) << "not 30 digits";
  int status = 0;
  EXPECT_EQ(XCliDB_Logon(db.get(), "bob", "bob-pw1", 260101, &status, nullptr, 0), 1) << status;
}

INSTANTIATE_TEST_SUITE_P(Store, LoginListsTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
