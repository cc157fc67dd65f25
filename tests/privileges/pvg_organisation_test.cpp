// The privilege editor's left pane: the quick search and the switch back to the tree, the
// refresh, and new or changed departments and users made in the user manager run embedded.
#include <gtest/gtest.h>

#include "platform_ui.h"
#include "privileges/usrfngrd.h"
#include "pvg_fixture.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seldept_ids.h"
#include "resources/dialogs/usrfunc_ids.h"
#include "xbomtree.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

class OrganisationPaneTest : public PrivilegeTest {};

int TreeFocus(DialogDriver& d, int treeId) {
  auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(treeId));
  return tree != nullptr ? tree->GetBITM_NID(tree->GetFocusNode()) : -1;
}

// Enter in the search edit searches and never saves; choosing a row of the result saves
// the shown node first, as a click in the tree does.
TEST_P(OrganisationPaneTest, EnterSearchesWithoutSavingAndARowChoiceSavesFirst) {
  StartAsAdmin();
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    DoubleClickMark(d, "UUSR", true);
    ASSERT_TRUE(d.SetText(IDC_USRFUNC_SEARCH_TEXT, "  alice "));
    ASSERT_TRUE(d.PressKey(IDC_USRFUNC_SEARCH_TEXT, VK_RETURN));
    EXPECT_TRUE(d.Dialog().IsRunning());
    EXPECT_TRUE(d.IsVisible(IDC_USRFUNC_SEARCH_GRID));
    EXPECT_FALSE(d.IsVisible(IDC_USRFUNC_TREE));
    EXPECT_FALSE(d.IsEnabled(IDC_USRFUNC_NEW_DEPT)) << "tree buttons wait for the tree";
    EXPECT_EQ(StoredMarks(kBobNid), "<none>");
    EXPECT_EQ(GridOf(d).ShownNid(), kBobNid);
    ASSERT_TRUE(d.Select(IDC_USRFUNC_VIEW, 1));
    EXPECT_EQ(StoredMarks(kBobNid), "XM");
    EXPECT_EQ(GridOf(d).ShownNid(), kAliceNid);
    EXPECT_EQ(ViewCell(d, "UFUNCPVG"), "TN");
    ASSERT_TRUE(d.Click(IDC_USRFUNC_SWITCH));
    EXPECT_TRUE(d.IsVisible(IDC_USRFUNC_TREE));
    EXPECT_TRUE(d.IsEnabled(IDC_USRFUNC_NEW_DEPT));
    EXPECT_EQ(GridOf(d).ShownNid(), kBobNid) << "the tree's node again";
    EXPECT_EQ(ModifyCell(d, "UUSR"), "TN");
    ASSERT_TRUE(d.Click(IDC_USRFUNC_REFRESH));
    EXPECT_EQ(FocusedNid(d), kRootNid);
    EXPECT_EQ(GridOf(d).ShownNid(), kRootNid);
  });
  EXPECT_TRUE(Messages().empty());
}

// New Dept and New User: a department is picked (the editor's focus preset), the user
// manager creates the record there, and the editor comes back showing it.
TEST_P(OrganisationPaneTest, TheEmbeddedUserManagerCreatesARecordAndTheEditorShowsIt) {
  struct Case {
    const char* command;
    int button;
    const char* code;
    const char* kind;
    const char* hint;
  };
  const Case cases[] = {
      {"XUSRFUNC", IDC_USRFUNC_NEW_DEPT, "TOOLS", "UDEPT", "dlg_userman.new usr here"},
      {"KQFLOWUSER", IDC_USRFUNC_NEW_USER, "flowy", "UUSRI", "dlg_userfuncpvg.new kqflwusr mac"},
  };
  StartAsAdmin();
  for (const Case& c : cases) {
    module_.user().OnDialog(IDD_SELDEPT, [&](DialogDriver& d) {
      EXPECT_EQ(d.Text(IDC_SELDEPT_MESSAGE), "dlg_userfuncpvg.new sel dept");
      EXPECT_EQ(TreeFocus(d, IDC_SELDEPT_TREE), kMechNid) << "bob's department";
      ASSERT_TRUE(d.Click(IDOK));
    });
    module_.user().OnDialog(IDD_ROLEDEPT, [&](DialogDriver& d) {
      EXPECT_EQ(WaitForShownTips(), std::vector<std::string>{c.hint}) << c.command;
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CCODE", c.code));
      ASSERT_TRUE(d.SetFieldText(IDC_ROLEDEPT_RECORD, "CNAME", "Made for privileges"));
      ASSERT_TRUE(d.Click(IDOK));
    });
    RunEditor(c.command, [&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kBobNid));
      ASSERT_TRUE(d.Click(c.button));
      const int nid = std::stoi(Query(std::string("select NID from UUSR where CCODE = '") + c.code +
                                      "' and CSRC = '" + c.kind + "'"));
      EXPECT_EQ(FocusedNid(d), nid) << c.command;
      EXPECT_EQ(GridOf(d).ShownNid(), nid) << c.command;
    });
    EXPECT_EQ(Query(std::string("select NPID from UUSRBM join UUSR on UUSR.NID = NCID where "
                                "CCODE = '") +
                    c.code + "'"),
              std::to_string(kMechNid));
  }
  EXPECT_EQ(module_.user().Dialogs(), (std::vector<int>{IDD_USRFUNC, IDD_SELDEPT, IDD_ROLEDEPT,
                                                        IDD_USRFUNC, IDD_SELDEPT, IDD_ROLEDEPT}));
}

// Modi User opens the user manager on the selected record, from the tree or from a search
// result, and the editor shows that record again afterwards.
TEST_P(OrganisationPaneTest, ModiUserOpensTheManagerOnTheSelectedRecord) {
  StartAsAdmin();
  for (bool fromSearch : {false, true}) {
    module_.user().OnDialog(IDD_ROLEDEPT, [&](DialogDriver& d) {
      EXPECT_EQ(TreeFocus(d, IDC_ROLEDEPT_TREE), kBobNid) << fromSearch;
    });
    RunEditor("XUSRFUNC", [&](DialogDriver& d) {
      if (fromSearch) {
        ASSERT_TRUE(d.SetText(IDC_USRFUNC_SEARCH_TEXT, "bob"));
        ASSERT_TRUE(d.Click(IDC_USRFUNC_SEARCH));
        ASSERT_TRUE(d.Select(IDC_USRFUNC_VIEW, 1));
      } else {
        ASSERT_TRUE(ClickRecord(d, kBobNid));
      }
      ASSERT_TRUE(d.Click(IDC_USRFUNC_MODIFY_USER));
      EXPECT_EQ(GridOf(d).ShownNid(), kBobNid);
      if (!fromSearch) {
        EXPECT_EQ(FocusedNid(d), kBobNid);
      }
    });
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_P(OrganisationPaneTest, WithoutTheManagersRightNoRecordIsMadeOrChanged) {
  StartAs("alice", "alice-pw1");
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    for (int button : {IDC_USRFUNC_NEW_DEPT, IDC_USRFUNC_NEW_USER, IDC_USRFUNC_MODIFY_USER}) {
      ASSERT_TRUE(d.Click(button));
    }
  });
  EXPECT_EQ(Messages(), std::vector<std::string>(3, "dlg_userfuncpvg.no pvg"));
  EXPECT_EQ(module_.user().Dialogs(), std::vector<int>{IDD_USRFUNC});
}

INSTANTIATE_TEST_SUITE_P(Store, OrganisationPaneTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
