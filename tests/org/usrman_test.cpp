// The user manager window through HRZCmd: its gate, the tree, the search grid and the
// switch between them, the keys, the frame, and what a click does with an edit that cannot
// be saved. Every test runs on a fresh sample store, once embedded and once over TCP.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>

#include "entry/module_state.h"
#include "org/roledept.h"
#include "org_fixture.h"
#include "passwords/pwdrule.h"
#include "platform_ui.h"
#include "resources/dialogs/pwdrule_ids.h"
#include "resources/dialogs/roledept_ids.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

class UserManagerTest : public ManagerTest {};

TEST_P(UserManagerTest, OpensOnlyForAViewOrModifyRight) {
  Grant(kQaNid, "XM");    // dave (QA) manages users
  Grant(kEngNid, "XXV");  // grace (ENG) reads drawings, no more
  Grant(306, "XV");       // alice (REVIEW) may look at the organisation
  struct Case {
    const char* code;
    const char* password;
    bool opens;
  };
  const Case cases[] = {
      {"adm", kAdminPassword, true}, {"dave", "dave-pw1", true}, {"alice", "alice-pw1", true},
      {"grace", "grace-pw1", false}, {"bob", "bob-pw1", false},
  };
  for (const Case& c : cases) {
    StartAs(c.code, c.password);
    const std::size_t dialogs = module_.user().Dialogs().size();
    const std::size_t boxes = module_.user().MessageBoxes().size();
    RunManager([](DialogDriver&) {});
    EXPECT_EQ(module_.user().Dialogs().size(), dialogs + (c.opens ? 1 : 0)) << c.code;
    if (c.opens) {
      EXPECT_EQ(module_.user().MessageBoxes().size(), boxes) << c.code;
    } else {
      ASSERT_EQ(module_.user().MessageBoxes().size(), boxes + 1) << c.code;
      const hrz::MessageBoxCall& box = module_.user().MessageBoxes().back();
      EXPECT_EQ(box.text, "dlg_userman.no pvg");
      EXPECT_EQ(box.caption, "dlg_userman.mb_cap");
      EXPECT_EQ(box.type, MB_OK | MB_ICONEXCLAMATION);
    }
  }
}

TEST_P(UserManagerTest, TheAdministratorWithoutTheRightIsRefusedToo) {
  WriteStore(storePath_, "update SRV_PRIVILEGE set CPVG = 'MXMMMMMMMMMM' where NID = 1");
  StartAsAdmin();
  RunManager([](DialogDriver&) { ADD_FAILURE() << "the manager opened"; });
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userman.no pvg"});
}

TEST_P(UserManagerTest, ASecondManagerReturnsAtOnceWhileOneRuns) {
  StartAsAdmin();
  int inner = -1;
  RunManager([&](DialogDriver&) {
    inner = module_.Run("XROLEMAN");
    EXPECT_EQ(module_.Run("XUSRMAN"), 1);
  });
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(module_.user().Dialogs(), std::vector<int>{IDD_ROLEDEPT}) << "one window only";
  EXPECT_TRUE(Messages().empty());
  RunManager([](DialogDriver&) {});
  EXPECT_EQ(module_.user().Dialogs().size(), 2u) << "closing the first let the next open";
}

TEST_P(UserManagerTest, OpensWithItsTextsTheRootExpandedAndItsRecordShown) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "dlg_userman.dlg_cap");
    const std::pair<int, const char*> buttons[] = {
        {IDC_ROLEDEPT_SEARCH, "btn_search"},
        {IDC_ROLEDEPT_SWITCH, "btn_switch"},
        {IDC_ROLEDEPT_NEW_DEPT, "btn_newdept"},
        {IDC_ROLEDEPT_NEW_USER, "btn_newuser"},
        {IDC_ROLEDEPT_ADD_USER, "btn_adduser"},
        {IDC_ROLEDEPT_MOVE_TO, "btn_moveto"},
        {IDC_ROLEDEPT_REMOVE, "btn_remove"},
        {IDC_ROLEDEPT_DELETE, "btn_del"},
        {IDC_ROLEDEPT_WHERE_USED, "btn_where_used"},
        {IDC_ROLEDEPT_REFRESH, "btn_refresh"},
        {IDOK, "btn_save"},
        {IDCANCEL, "btn_close"},
    };
    for (const auto& [id, key] : buttons) {
      EXPECT_EQ(d.Text(id), std::string("dlg_userman.") + key) << id;
    }
    EXPECT_EQ(d.Selection(IDC_ROLEDEPT_VIEW), 0) << "the root is focused";
    EXPECT_EQ(Field(d, "CCODE"), "ORG");
    EXPECT_FALSE(d.IsEnabled(IDC_ROLEDEPT_REMOVE)) << "a department is not removed";
    EXPECT_GE(NodeOf(d, kEngNid), 1);
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    EXPECT_EQ(Field(d, "CCODE"), "bob");
    EXPECT_EQ(Field(d, "CNAME"), "Bob Baker");
    EXPECT_EQ(Field(d, "CPWD"), "[pwd_mask]");
    EXPECT_TRUE(d.IsEnabled(IDC_ROLEDEPT_REMOVE));
  });
}

TEST_P(UserManagerTest, ShowsEachKindWithItsLayoutAndTheDeleteButtonItsState) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    struct Case {
      int nid;
      bool userLayout;
      const char* deleteButton;
    };
    const Case cases[] = {
        {kMechNid, false, "dlg_userman.btn_del"}, {kDaveNid, true, "dlg_userman.btn_del"},
        {312, true, "dlg_userman.btn_unlock"},    {kFrankNid, true, "dlg_userman.btn_restore"},
        {kBobNid, true, "dlg_userman.btn_del"},
    };
    for (const Case& c : cases) {
      ASSERT_TRUE(ClickRecord(d, c.nid)) << c.nid;
      EXPECT_EQ(d.HasField(IDC_ROLEDEPT_RECORD, "CPWD"), c.userLayout) << c.nid;
      EXPECT_EQ(d.Text(IDC_ROLEDEPT_DELETE), c.deleteButton) << c.nid;
    }
  });
}

TEST_P(UserManagerTest, AClickAwayFromAnEditThatCannotBeSavedAsksWhereToGo) {
  StartAsAdmin();
  RunManager([&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    const int bob = d.Selection(IDC_ROLEDEPT_VIEW);
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", ""));
    module_.user().AnswerNextMessageBox(IDOK);  // "val must not null"
    module_.user().AnswerNextMessageBox(IDOK);  // stay
    ASSERT_TRUE(ClickRecord(d, kAliceNid));
    EXPECT_EQ(d.Selection(IDC_ROLEDEPT_VIEW), bob) << "OK stays on the record";
    EXPECT_EQ(Field(d, "CCODE"), "bob");
    EXPECT_EQ(Field(d, "CNAME"), "") << "the edit is kept";

    module_.user().AnswerNextMessageBox(IDOK);
    module_.user().AnswerNextMessageBox(IDCANCEL);  // go on without the edit
    ASSERT_TRUE(ClickRecord(d, kAliceNid));
    EXPECT_EQ(Field(d, "CCODE"), "alice");
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "Name must not be empty.", "dlg_userman.save error continue",
                            "Name must not be empty.", "dlg_userman.save error continue"}));
  EXPECT_EQ(module_.user().MessageBoxes()[1].type, MB_OKCANCEL | MB_ICONEXCLAMATION);
  EXPECT_EQ(Query("select CNAME from UUSR where NID = 309"), "Bob Baker");
}

TEST_P(UserManagerTest, SearchFillsTheGridAndSwitchGoesBackAndForth) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    const int treeButtons[] = {IDC_ROLEDEPT_ADD_USER, IDC_ROLEDEPT_NEW_DEPT, IDC_ROLEDEPT_NEW_USER,
                               IDC_ROLEDEPT_MOVE_TO};
    ASSERT_TRUE(d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, "   "));
    EXPECT_TRUE(d.Click(IDC_ROLEDEPT_SEARCH));
    EXPECT_TRUE(d.IsEnabled(IDC_ROLEDEPT_NEW_USER)) << "blanks search nothing";

    ASSERT_TRUE(d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, "  e;ar  "));
    ASSERT_TRUE(d.PressKey(IDC_ROLEDEPT_SEARCH_TEXT, VK_RETURN));
    for (int id : treeButtons) EXPECT_FALSE(d.IsEnabled(id)) << id;
    EXPECT_FALSE(d.IsEnabled(IDC_ROLEDEPT_REMOVE));
    EXPECT_EQ(Field(d, "CCODE"), "") << "the pane is cleared";
    EXPECT_EQ(ShownTips(), std::vector<std::string>{"3 rows found"});
    // Both words in code or name, in code order: Alice Archer, the department Archive and
    // Carol Chen.
    ASSERT_TRUE(d.Select(IDC_ROLEDEPT_VIEW, 1));
    EXPECT_EQ(Field(d, "CCODE"), "alice");
    ASSERT_TRUE(d.Select(IDC_ROLEDEPT_VIEW, 2));
    EXPECT_EQ(Field(d, "CCODE"), "ARCHIVE");
    ASSERT_TRUE(d.Select(IDC_ROLEDEPT_VIEW, 3));
    EXPECT_EQ(Field(d, "CCODE"), "carol");
    EXPECT_FALSE(d.Select(IDC_ROLEDEPT_VIEW, 4));

    EXPECT_TRUE(d.Click(IDC_ROLEDEPT_REFRESH));
    EXPECT_EQ(d.Selection(IDC_ROLEDEPT_VIEW), 3) << "Refresh leaves the grid alone";

    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_SWITCH));
    for (int id : treeButtons) EXPECT_TRUE(d.IsEnabled(id)) << id;
    EXPECT_EQ(Field(d, "CCODE"), "ORG") << "the tree's focused record";
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_SWITCH));
    EXPECT_EQ(Field(d, "CCODE"), "carol") << "the grid's focused row";
    EXPECT_FALSE(d.IsEnabled(IDC_ROLEDEPT_NEW_DEPT));
  });
}

TEST_P(UserManagerTest, TheHostsFieldListDecidesWhatASearchCompares) {
  WriteStore(storePath_, "update UUSR set NCRTOR = 314 where NID = 309");  // grace made bob
  module_.SetHostText("dlg_userman/Quick Search User", "CCODE | UUSR.NCRTOR");
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    struct Case {
      const char* text;
      std::vector<std::string> codes;
    };
    const Case cases[] = {
        {"grace", {"bob", "grace"}},  // the code, and the records grace created
        {"Archer", {}},               // names are not compared now
    };
    for (const Case& c : cases) {
      ASSERT_TRUE(d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, c.text));
      ASSERT_TRUE(d.Click(IDC_ROLEDEPT_SEARCH));
      std::vector<std::string> codes;
      for (int row = 1; d.Select(IDC_ROLEDEPT_VIEW, row); ++row) codes.push_back(Field(d, "CCODE"));
      EXPECT_EQ(codes, c.codes) << c.text;
    }
  });
}

TEST_P(UserManagerTest, EnterInTheSearchEditSearchesAndNeverSaves) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", ""));
    ASSERT_TRUE(d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, "grace"));
    ASSERT_TRUE(d.PressKey(IDC_ROLEDEPT_SEARCH_TEXT, VK_RETURN));
    EXPECT_TRUE(d.Dialog().IsRunning());
    ASSERT_TRUE(d.Select(IDC_ROLEDEPT_VIEW, 1));
    EXPECT_EQ(Field(d, "CCODE"), "grace");
  });
  EXPECT_TRUE(Messages().empty()) << "no save was tried";
}

TEST_P(UserManagerTest, RefreshKeepsThePathToTheFocusedRecord) {
  StartAsAdmin();
  RunManager([&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    hrztest::Connection adm = LogonAs("adm", kAdminPassword);
    ASSERT_TRUE(
        XCliDB_ExecuteSQL(adm.get(), "update UUSR set CNAME = 'Robert' where NID = 309", 0, 0));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_REFRESH));
    EXPECT_EQ(SelectedNid(d), kBobNid);
    EXPECT_EQ(Field(d, "CNAME"), "Robert") << "the record read again";
  });
}

TEST_P(UserManagerTest, TabFromTheTreeLandsOnTheFirstFieldOfTheRecord) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(d.PressKey(IDC_ROLEDEPT_TREE, VK_TAB));
    QCoreApplication::processEvents();
    EXPECT_TRUE(d.HasFocus(IDC_ROLEDEPT_RECORD, "CCODE"));
    ASSERT_TRUE(d.PressFieldKey(IDC_ROLEDEPT_RECORD, "CNAME", VK_TAB));
    QCoreApplication::processEvents();
    EXPECT_FALSE(d.HasFocus(IDC_ROLEDEPT_RECORD, "CNAME")) << "the focus moved on";
    EXPECT_TRUE(d.Dialog().IsRunning());
  });
}

TEST_P(UserManagerTest, ThePasswordRuleButtonEditsTheShownRecordsRule) {
  StartAsAdmin();
  int runs = 0;
  module_.user().OnDialog(IDD_PWDRULE, [&](DialogDriver& r) {
    ++runs;
    EXPECT_FALSE(r.Has(IDC_PWDRULE_OLD_USERS)) << "only on the root";
    ASSERT_TRUE(r.SetText(IDC_PWDRULE_MIN_LEN, "17"));
    module_.user().AnswerNextMessageBox(IDOK);
    ASSERT_TRUE(r.Click(IDOK));
    EXPECT_TRUE(r.Dialog().IsRunning()) << "17 is refused";
    ASSERT_TRUE(r.SetText(IDC_PWDRULE_DAYS, "1000"));
    ASSERT_TRUE(r.SetText(IDC_PWDRULE_MIN_LEN, " +8"));
    module_.user().AnswerNextMessageBox(IDOK);
    ASSERT_TRUE(r.Click(IDOK));
    EXPECT_TRUE(r.Dialog().IsRunning()) << "1000 days are refused";
    ASSERT_TRUE(r.SetText(IDC_PWDRULE_DAYS, "30"));
    ASSERT_TRUE(r.ClickField(IDC_PWDRULE_OPTIONS, "CHK_PWDCAPS"));
    ASSERT_TRUE(r.Click(IDOK));
  });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNPWDRULE"));
    EXPECT_EQ(Field(d, "CPWDRULE"), "L8C");
    EXPECT_EQ(Field(d, "NPWDDAYS"), "30");
    ASSERT_TRUE(d.Click(IDOK));
  });
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"dlg_chgpwd.overflow pwd", "dlg_chgpwd.pwd days err"}));
  EXPECT_EQ(Query("select CPWDRULE || '/' || NPWDDAYS from UUSR where NID = 309"), "L8C/30");
  // bob's next password change is held to the new rule.
  StartAs("bob", "bob-pw1");
  EXPECT_EQ(hrz::CheckPwdAgainstUserRule(nullptr, "Abcdefg"), 0) << "seven characters";
  EXPECT_EQ(hrz::CheckPwdAgainstUserRule(nullptr, "abcdefgh"), 0) << "no capital";
  EXPECT_EQ(hrz::CheckPwdAgainstUserRule(nullptr, "Abcdefgh"), 1);
}

TEST_P(UserManagerTest, TheRootsRuleCanBeWrittenIntoEveryRow) {
  StartAsAdmin();
  module_.user().OnDialog(IDD_PWDRULE, [&](DialogDriver& r) {
    EXPECT_FALSE(r.IsEnabled(IDC_PWDRULE_DEFAULT));
    EXPECT_EQ(r.Check(IDC_PWDRULE_OLD_USERS), BST_CHECKED);
    EXPECT_FALSE(r.IsEnabled(IDC_PWDRULE_NEW_USERS));
    ASSERT_TRUE(r.SetText(IDC_PWDRULE_MIN_LEN, "6"));
    ASSERT_TRUE(r.SetText(IDC_PWDRULE_DAYS, "DLG_CHGPWD.NO LIMIT"));
    ASSERT_TRUE(r.ClickField(IDC_PWDRULE_OPTIONS, "CHK_PWDNUM"));
    ASSERT_TRUE(r.Click(IDOK));
  });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNPWDRULE"));
    EXPECT_EQ(Field(d, "CPWDRULE"), "L6N");
  });
  EXPECT_EQ(Query("select count(*) from UUSR where CPWDRULE is not 'L6N' or NPWDDAYS <> 0"), "0");
}

TEST_P(UserManagerTest, DrawsAFrameAroundTheLeftPane) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    CRect pane;
    d.Dialog().GetDlgItem(IDC_ROLEDEPT_VIEW)->GetWindowRect(&pane);
    d.Dialog().ScreenToClient(&pane);
    const QImage image = d.Grab();
    int framed = 0;
    for (int y = pane.top; y < pane.bottom; ++y) {
      if (image.pixelColor(pane.left - 1, y) == QColor(175, 192, 216)) ++framed;
    }
    EXPECT_GE(framed, pane.Height() - 2) << "one pixel left of the pane, all the way down";
  });
}

// The run the privilege editor makes: the window opens on a preset department, starts a
// new record by itself and ends with the path of the saved record.
TEST_P(UserManagerTest, AnEmbeddedRunCreatesItsRecordInThePresetDepartmentAndReturnsItsPath) {
  StartAsAdmin();
  struct Case {
    const char* kind;
    const char* hint;  // set by the caller; null: none
    const char* shownHint;
    const char* code;
  };
  const Case cases[] = {
      {"UDEPT", nullptr, "dlg_userman.new usr here", "TOOLS"},
      {"UUSRI", "Type the new colleague here", "Type the new colleague here", "newbie"},
  };
  for (const Case& c : cases) {
    module_.user().OnDialog(IDD_ROLEDEPT, [&](DialogDriver& d) {
      EXPECT_EQ(SelectedNid(d), kMechNid) << "the preset department is focused";
      EXPECT_EQ(WaitForShownTips(), std::vector<std::string>{c.shownHint}) << c.kind;
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CCODE", c.code));
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Made in the editor"));
      ASSERT_TRUE(d.Click(IDOK));
    });
    hrz::ModuleResourceScope resources;
    hrz::CRoleDeptDlg window;
    window.SetPendingKind(c.kind);
    const int preset[] = {0, kEngNid, kMechNid};
    window.SetPresetPath(preset, 3);
    if (c.hint != nullptr) window.SetNewUserHint(c.hint);
    ASSERT_EQ(window.DoModal(), IDOK) << c.kind;
    const int nid = std::stoi(Query(std::string("select NID from UUSR where CCODE = '") + c.code +
                                    "' and CSRC = '" + c.kind + "'"));
    const int* path = window.GetResultPath();
    EXPECT_EQ(std::vector<int>(path, path + 5),
              (std::vector<int>{kRootNid, kEngNid, kMechNid, nid, 0}))
        << c.kind;
  }
}

INSTANTIATE_TEST_SUITE_P(Store, UserManagerTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
