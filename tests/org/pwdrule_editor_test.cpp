// The password rule editor opened from the record pane's rule button, through HRZCmd,
// embedded and over TCP: the change-at-next-logon mark and the server's day, the Default
// button, and the root's boxes that write the rule into every row and into new users.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "org_fixture.h"
#include "resources/dialogs/pwdrule_ids.h"
#include "resources/dialogs/roledept_ids.h"
#include "xclidb.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kHeidiNid = 317;
// 2031-03-04 12:00 UTC: the same day in every time zone, and never the client's today.
constexpr std::time_t kServerNoon = 1'930'392'000;
constexpr const char* kServerDay = "20310304";

class PwdRuleEditorTest : public ManagerTest {
 protected:
  void SetUp() override {
    ManagerTest::SetUp();
    clock_->now = kServerNoon;  // the server's clock over TCP; embedded it is the machine's
  }

  // Opens the editor on nid's record with action, then saves the record.
  void EditAndSave(int nid, std::function<void(DialogDriver&)> action) {
    module_.user().OnDialog(IDD_PWDRULE, std::move(action));
    RunManager([nid](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, nid)) << nid;
      ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNPWDRULE"));
      ASSERT_TRUE(d.Click(IDOK));
    });
  }

  std::string Stored(int nid, const char* column) {
    return Query(std::string("select ") + column + " from UUSR where NID = " + std::to_string(nid));
  }

  // The whole part of the server's date number, as the module's connection reads it.
  int ServerDay() { return static_cast<int>(XCliDB_GetServerTimeDouble(db_.get())); }
};

// What the option panel shows: change at next logon, capitals, digits, special characters.
std::string Options(DialogDriver& r) {
  std::string shown;
  for (const char* name : {"CHK_LGNCHGPWD", "CHK_PWDCAPS", "CHK_PWDNUM", "CHK_PWDSPECCHAR"}) {
    shown += std::to_string(r.FieldCheck(IDC_PWDRULE_OPTIONS, name));
  }
  return shown;
}

TEST_P(PwdRuleEditorTest, TheMarkIsShownAndClearingItStoresTheServersDay) {
  struct Case {
    const char* stored;  // "DMODIPWD" before, as SQL
    bool clickMark;
    int shownMark;
    const char* after;  // nullptr: the server's day
  };
  const Case cases[] = {
      {"20000101", true, BST_CHECKED, nullptr},  // cleared: the day the server says it is
      {"20000101", false, BST_CHECKED, "20000101"},
      {"20250115", true, BST_UNCHECKED, "20000101"},  // set
      {"20250115", false, BST_UNCHECKED, "20250115"},
      {"NULL", false, BST_UNCHECKED, ""},
  };
  StartAsAdmin();
  if (GetParam() == Via::kTcp) {
    EXPECT_EQ(std::to_string(ServerDay()), kServerDay);
  }
  for (const Case& c : cases) {
    WriteStore(storePath_, std::string("update UUSR set DMODIPWD = ") + c.stored +
                               " where NID = " + std::to_string(kBobNid));
    const int dayBefore = ServerDay();
    EditAndSave(kBobNid, [&](DialogDriver& r) {
      EXPECT_EQ(r.FieldCheck(IDC_PWDRULE_OPTIONS, "CHK_LGNCHGPWD"), c.shownMark) << c.stored;
      if (c.clickMark) {
        ASSERT_TRUE(r.ClickField(IDC_PWDRULE_OPTIONS, "CHK_LGNCHGPWD"));
      }
      ASSERT_TRUE(r.Click(IDOK));
    });
    const std::string after = Stored(kBobNid, "DMODIPWD");
    if (c.after != nullptr) {
      EXPECT_EQ(after, c.after) << c.stored << (c.clickMark ? " clicked" : "");
    } else {
      EXPECT_TRUE(after == std::to_string(dayBefore) || after == std::to_string(ServerDay()))
          << after << " is not the server's day " << dayBefore;
    }
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_P(PwdRuleEditorTest, WithoutTheServersTimeTheMarkStaysAndTheEditorSaysSo) {
  if (GetParam() != Via::kTcp) GTEST_SKIP() << "only a served store can go away";
  WriteStore(storePath_, "update UUSR set DMODIPWD = 20000101 where NID = 309");
  StartAsAdmin();
  module_.user().OnDialog(IDD_PWDRULE, [&](DialogDriver& r) {
    server_->Stop();
    ASSERT_TRUE(r.ClickField(IDC_PWDRULE_OPTIONS, "CHK_LGNCHGPWD"));
    module_.user().AnswerNextMessageBox(IDOK);
    ASSERT_TRUE(r.Click(IDOK));
    EXPECT_TRUE(r.Dialog().IsRunning()) << "no day to store";
    ASSERT_TRUE(r.Click(IDCANCEL));
  });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNPWDRULE"));
    EXPECT_EQ(Field(d, "DMODIPWD"), "20000101");
  });
  ASSERT_FALSE(module_.user().MessageBoxes().empty());
  EXPECT_EQ(module_.user().MessageBoxes()[0].text, "dlg_chgpwd.change_fail");
  EXPECT_EQ(module_.user().MessageBoxes()[0].caption, "dlg_chgpwd.dlg_cap_pwdrule");
  EXPECT_EQ(StoreRows(storePath_, "select DMODIPWD from UUSR where NID = 309"),
            std::vector<std::string>{"1:20000101|"});
}

TEST_P(PwdRuleEditorTest, DefaultLoadsTheOrganisationsRuleOnAnyOtherRecord) {
  struct Case {
    const char* root;    // the root's values, as SQL
    const char* record;  // the edited record's values, as SQL
    bool clickDefault;   // false: the record's "InitDefault" loads it on opening
    const char* minLength;
    const char* days;
    const char* options;  // as Options() reads them
    const char* saved;    // rule/days/last change; "<day>" for the server's day
  };
  const Case cases[] = {
      {"CPWDRULE = 'L9N@', NPWDDAYS = 45, DMODIPWD = 20000101", "DMODIPWD = 20250115", true, "9",
       "45", "1011", "L9N@/45/20000101"},
      // No lifetime and no mark at the root: a record that had the mark loses it on OK.
      {"CPWDRULE = 'L0C', NPWDDAYS = NULL, DMODIPWD = 20240301",
       "CPWDRULE = 'L8', NPWDDAYS = 30, DMODIPWD = 20000101", true, "", "dlg_chgpwd.no limit",
       "0100", "L0C/0/<day>"},
      {"CPWDRULE = ' L12CN@ ', NPWDDAYS = 90, DMODIPWD = 20250501",
       "CPWDRULE = 'initDEFAULT', DMODIPWD = 20250115", false, "12", "90", "0111",
       "L12CN@/90/20250115"},
  };
  StartAsAdmin();
  for (const Case& c : cases) {
    WriteStore(storePath_, std::string("update UUSR set ") + c.root + " where NID = 2");
    WriteStore(storePath_, std::string("update UUSR set ") + c.record + " where NID = 317");
    const int day = ServerDay();
    EditAndSave(kHeidiNid, [&](DialogDriver& r) {
      EXPECT_TRUE(r.IsEnabled(IDC_PWDRULE_DEFAULT)) << "enabled on every record but the root";
      EXPECT_FALSE(r.Has(IDC_PWDRULE_OLD_USERS));
      if (c.clickDefault) {
        ASSERT_TRUE(r.Click(IDC_PWDRULE_DEFAULT));
      }
      EXPECT_EQ(r.Text(IDC_PWDRULE_MIN_LEN), c.minLength) << c.root;
      EXPECT_EQ(r.Text(IDC_PWDRULE_DAYS), c.days) << c.root;
      EXPECT_EQ(Options(r), c.options) << c.root;
      ASSERT_TRUE(r.Click(IDOK));
    });
    std::string expected = c.saved;
    if (const auto at = expected.find("<day>"); at != std::string::npos) {
      expected.replace(at, 5, std::to_string(day));
    }
    EXPECT_EQ(Query("select CPWDRULE || '/' || NPWDDAYS || '/' || DMODIPWD from UUSR where NID = "
                    "317"),
              expected)
        << c.root;
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_P(PwdRuleEditorTest, TheRootsRuleGoesToEveryRowOnlyWhenAskedAndAlwaysToNewUsers) {
  const std::string othersBefore = Query(
      "select group_concat(ifnull(CPWDRULE, '-') || ifnull(NPWDDAYS, '-') || "
      "ifnull(DMODIPWD, '-'), ',') from (select * from UUSR where NID <> 2 order by NID)");
  for (const bool everyRow : {false, true}) {
    WriteStore(storePath_,
               "update UUSR set CPWDRULE = 'L0', NPWDDAYS = NULL, DMODIPWD = NULL where NID = 2");
    StartAsAdmin();
    const std::string zoe = everyRow ? "zoe2" : "zoe1";
    module_.user().OnDialog(IDD_PWDRULE, [&](DialogDriver& r) {
      EXPECT_EQ(r.Check(IDC_PWDRULE_NEW_USERS), BST_CHECKED);
      ASSERT_TRUE(r.SetText(IDC_PWDRULE_MIN_LEN, "7"));
      ASSERT_TRUE(r.SetText(IDC_PWDRULE_DAYS, "60"));
      ASSERT_TRUE(r.ClickField(IDC_PWDRULE_OPTIONS, "CHK_PWDCAPS"));
      ASSERT_TRUE(r.ClickField(IDC_PWDRULE_OPTIONS, "CHK_PWDNUM"));
      ASSERT_TRUE(r.ClickField(IDC_PWDRULE_OPTIONS, "CHK_LGNCHGPWD"));
      if (!everyRow) {
        ASSERT_TRUE(r.Click(IDC_PWDRULE_OLD_USERS));
      }
      EXPECT_EQ(r.Check(IDC_PWDRULE_OLD_USERS), everyRow ? BST_CHECKED : BST_UNCHECKED);
      ASSERT_TRUE(r.Click(IDOK));
    });
    RunManager([&](DialogDriver& d) {
      ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNPWDRULE"));  // the root is shown
      ASSERT_TRUE(d.Click(IDOK));
      ASSERT_TRUE(ClickRecord(d, kMechNid));
      ASSERT_TRUE(d.Click(IDC_ROLEDEPT_NEW_USER));
      EXPECT_EQ(Field(d, "CPWDRULE"), "L7CN");
      EXPECT_EQ(Field(d, "NPWDDAYS"), "60");
      EXPECT_EQ(Field(d, "DMODIPWD"), "20000101");
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CCODE", zoe));
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Zoe Zimmer"));
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CPWD", "Zoe-pw-1"));
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "RE_CPWD", "Zoe-pw-1"));
      ASSERT_TRUE(d.Click(IDOK));
    });
    EXPECT_EQ(
        Query("select CPWDRULE || '/' || NPWDDAYS || '/' || DMODIPWD from UUSR where NID = 2"),
        "L7CN/60/20000101");
    EXPECT_EQ(
        Query("select CPWDRULE || '/' || NPWDDAYS || '/' || DMODIPWD from UUSR where CCODE = '" +
              zoe + "'"),
        "L7CN/60/20000101")
        << "a new user keeps the default's mark when it receives its first password";
    if (everyRow) {
      EXPECT_EQ(Query("select count(*) from UUSR where CPWDRULE is not 'L7CN' or NPWDDAYS is not "
                      "60 or DMODIPWD is not 20000101"),
                "0");
      EXPECT_EQ(Query("select count(*) from UUSR"), "22") << "the sample's 20 and two new users";
    } else {
      EXPECT_EQ(
          Query("select group_concat(ifnull(CPWDRULE, '-') || ifnull(NPWDDAYS, '-') || "
                "ifnull(DMODIPWD, '-'), ',') from (select * from UUSR where NID <> 2 and CCODE "
                "<> 'zoe1' order by NID)"),
          othersBefore)
          << "only the root changed";
    }
  }
  EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Store, PwdRuleEditorTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
