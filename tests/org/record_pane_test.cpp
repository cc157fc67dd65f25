// The record pane of the user manager through HRZCmd: who may edit which field, the checks
// before a save, the code check and the password the administrator sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "org/modiuser.h"
#include "org_fixture.h"
#include "platform_ui.h"
#include "resources/dialogs/roledept_ids.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

class RecordPaneTest : public ManagerTest {
 protected:
  // Clicks Save and answers what follows with OK.
  static void Save(DialogDriver& d) { ASSERT_TRUE(d.Click(IDOK)); }
  bool CanLogOn(const char* code, const char* password) {
    return TryLogon(location_, code, password) != nullptr;
  }
};

// The fields and buttons a user could type into or press.
std::set<std::string> Usable(DialogDriver& d) {
  const char* const names[] = {"CCODE",   "CNAME",     "CPWD",       "RE_CPWD",  "CLGNIP",
                               "CLGNMAC", "BTNLGNMAC", "BTNPWDRULE", "XNEWCODE", "BTNDEPTIP"};
  std::set<std::string> usable;
  for (const char* name : names) {
    if (d.IsFieldUsable(IDC_ROLEDEPT_RECORD, name)) usable.insert(name);
  }
  return usable;
}

TEST_P(RecordPaneTest, EachUserMayEditWhatItsRightsAllow) {
  Grant(kQaNid, "XM");   // dave manages users
  Grant(kEngNid, "XV");  // grace may only look
  using Names = std::set<std::string>;
  struct Case {
    const char* who;
    const char* password;
    int shown;
    Names usable;
  };
  const Names adminOnUser = {"CCODE",   "CNAME",     "CPWD",       "RE_CPWD", "CLGNIP",
                             "CLGNMAC", "BTNLGNMAC", "BTNPWDRULE", "XNEWCODE"};
  const Case cases[] = {
      {"adm", kAdminPassword, kBobNid, adminOnUser},
      // Its own code is reserved, its login lists are never restricted.
      {"adm", kAdminPassword, 1, {"CNAME", "CPWD", "RE_CPWD", "BTNPWDRULE"}},
      {"adm",
       kAdminPassword,
       kRootNid,
       {"CCODE", "CNAME", "CLGNIP", "BTNPWDRULE", "XNEWCODE", "BTNDEPTIP"}},
      // A manager: no codes and no passwords.
      {"dave", "dave-pw1", kBobNid, {"CNAME", "CLGNIP", "CLGNMAC", "BTNLGNMAC", "BTNPWDRULE"}},
      {"dave", "dave-pw1", 1, {}},
      {"dave", "dave-pw1", kDaveNid, {"CNAME"}},
      // The password rule button of a department is shown for the root alone.
      {"dave", "dave-pw1", kEngNid, {"CNAME", "CLGNIP", "BTNDEPTIP"}},
      // Looking only: the user's own name, nothing else.
      {"grace", "grace-pw1", kBobNid, {}},
      {"grace", "grace-pw1", kGraceNid, {"CNAME"}},
      {"grace", "grace-pw1", kEngNid, {}},
  };
  for (const Case& c : cases) {
    StartAs(c.who, c.password);
    RunManager([&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, c.shown)) << c.who << " " << c.shown;
      EXPECT_EQ(Usable(d), c.usable) << c.who << " shows " << c.shown;
    });
  }
}

TEST_P(RecordPaneTest, ARequiredFieldLeftEmptyIsRefused) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "  \t"));
    Save(d);
    EXPECT_EQ(Field(d, "CNAME"), "  \t") << "the edit stays";
    EXPECT_TRUE(d.Dialog().IsRunning());
  });
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Name must not be empty.", "dlg_userman.save error"}));
  EXPECT_EQ(Query("select CNAME from UUSR where NID = 309"), "Bob Baker");
}

TEST_P(RecordPaneTest, APasswordAndItsRepetitionMustAgree) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CPWD", "Bob-new-1"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "RE_CPWD", "bob-new-1"));
    Save(d);
  });
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"dlg_userman.pwd not same", "dlg_userman.save error"}));
  EXPECT_TRUE(CanLogOn("bob", "bob-pw1"));
}

TEST_P(RecordPaneTest, TheAdministratorSetsAUsersPassword) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CPWD", "Bob-new-1"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "RE_CPWD", "Bob-new-1"));
    Save(d);
    EXPECT_EQ(ShownTips(), std::vector<std::string>{"dlg_userman.save done"});
    EXPECT_EQ(Field(d, "CPWD"), "[pwd_mask]");
    EXPECT_EQ(Field(d, "CCODE"), "bob") << "the record shown again";
  });
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(CanLogOn("bob", "Bob-new-1"));
  EXPECT_FALSE(CanLogOn("bob", "bob-pw1"));
}

TEST_P(RecordPaneTest, APasswordHoldingTheMaskIsNotSet) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CPWD", "x[pwd_mask]"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "RE_CPWD", "x[pwd_mask]"));
    Save(d);
  });
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_chgpwd.invalid pwd"});
  EXPECT_EQ(module_.user().MessageBoxes()[0].caption, "dlg_chgpwd.mb_cap");
  EXPECT_TRUE(CanLogOn("bob", "bob-pw1"));
}

TEST_P(RecordPaneTest, ACodeAnotherRecordHoldsIsRefusedBeforeAnythingIsSent) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Robert"));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CCODE", " ALICE "));
    Save(d);
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Code is taken.", "dlg_userman.save error"}));
  EXPECT_EQ(Query("select CNAME || CCODE from UUSR where NID = 309"), "Bob Bakerbob");
}

TEST_P(RecordPaneTest, TheCodeCheckAsksTheServerWhoHoldsTheCode) {
  StartAsAdmin();
  struct Case {
    const char* code;
    int own;
    int taken;
  };
  const Case cases[] = {
      {"bob", kBobNid, 0},    // its own code
      {"BOB", -1, 1},         // a new record, whatever the letter case
      {"bob", kAliceNid, 1},  // another record's
      {"nobody", -1, 0},     {"ADM", -1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hrz::IsUserCodeTaken(db_.get(), c.code, c.own), c.taken) << c.code << " " << c.own;
  }
}

TEST_P(RecordPaneTest, NewCodeAsksBeforeReplacingACode) {
  StartAsAdmin();
  RunManager([&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    module_.user().AnswerNextMessageBox(IDCANCEL);
    ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "XNEWCODE"));
    EXPECT_EQ(Field(d, "CCODE"), "bob");
    ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "XNEWCODE"));
    EXPECT_NE(Field(d, "CCODE"), "bob");
    EXPECT_EQ(Field(d, "CCODE").substr(0, 1), "U") << Field(d, "CCODE");
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{"dlg_userman.create another code",
                                                  "dlg_userman.create another code"}));
  EXPECT_EQ(module_.user().MessageBoxes()[0].type, MB_OKCANCEL | MB_ICONEXCLAMATION);
}

INSTANTIATE_TEST_SUITE_P(Store, RecordPaneTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
