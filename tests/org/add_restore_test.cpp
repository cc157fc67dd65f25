// Add User and the Restore face of the Delete button, each through the user picker they
// open, run through HRZCmd and the automation, embedded and over TCP.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "entry/requests.h"
#include "org_fixture.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seluser_ids.h"
#include "xbomtree.h"
#include "xfindgrid.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kArchiveNid = 315;
constexpr int kIvanNid = 318;  // deleted without the marker, still in Sales

// The NIDs, in order, of the records under the department's node in the manager's tree.
std::vector<int> ChildrenShown(DialogDriver& d, int dept) {
  auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_ROLEDEPT_TREE));
  const int node = NodeOf(d, dept);
  std::vector<int> nids;
  if (tree == nullptr || node < 0) return nids;
  for (int child = tree->GetFirstChildNode(node); child >= 0; child = tree->GetNextNode(child)) {
    nids.push_back(tree->GetBITM_NID(child));
  }
  std::sort(nids.begin(), nids.end());
  return nids;
}

class AddRestoreTest : public ManagerTest {
 protected:
  std::string Places(int nid) {
    return Query("select group_concat(NPID) from (select NPID from UUSRBM where NCID = " +
                 std::to_string(nid) + " order by NPID)");
  }
};

TEST_P(AddRestoreTest, AddUserPutsThePickedUserIntoTheFocusedDepartment) {
  StartAsAdmin();
  module_.user().OnDialog(IDD_SELUSER, [](DialogDriver& p) {
    EXPECT_EQ(p.Caption(), "dlg_userman.dlg_cap_sel_user");
    ASSERT_TRUE(PickInTree(p, kQaNid));  // a department: refused
    ASSERT_TRUE(p.Dialog().IsRunning());
    ASSERT_TRUE(PickInTree(p, kBobNid));
  });
  // alice is in QA already: the server answers with her one place there.
  module_.user().OnDialog(IDD_SELUSER, [](DialogDriver& p) { PickInTree(p, kAliceNid); });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kQaNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_ADD_USER));
    EXPECT_EQ(ChildrenShown(d, kQaNid), (std::vector<int>{kAliceNid, kBobNid, kDaveNid}));
    ASSERT_TRUE(ClickRecord(d, kQaNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_ADD_USER));
    EXPECT_EQ(ChildrenShown(d, kQaNid), (std::vector<int>{kAliceNid, kBobNid, kDaveNid}));
  });
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userman.must sel type node"});
  EXPECT_EQ(Places(kBobNid), "302,305");
  EXPECT_EQ(Places(kAliceNid), "303,305,306");
}

// Nothing changes when the picker is cancelled, when no department is focused or when the
// department went away while the picker was open.
TEST_P(AddRestoreTest, AddUserChangesNothingUnlessAUserIsAttached) {
  StartAsAdmin();
  Connection other = LogonAs("adm", kAdminPassword);
  struct Case {
    int focused;
    std::function<void(DialogDriver&)> picker;  // null: no picker opens
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {kQaNid,
       [](DialogDriver& p) {
         ASSERT_TRUE(p.Select(IDC_SELUSER_VIEW, TreeNodeOf(p, IDC_SELUSER_TREE, kBobNid)));
         ASSERT_TRUE(p.Click(IDCANCEL));
       },
       {}},
      {kBobNid, nullptr, {"dlg_userman.must sel node"}},
      {kArchiveNid,
       [&](DialogDriver& p) {
         ASSERT_EQ(hrz::DeleteNodeRequest(other.get(), kArchiveNid),
                   hrz::DeleteNodeOutcome::kDeleted);
         PickInTree(p, kBobNid);
       },
       {"dlg_userman.save error"}},
  };
  const std::string before = Places(kBobNid);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.focused);
    const std::size_t shown = Messages().size();
    const std::size_t opened = module_.user().Dialogs().size();
    if (c.picker) module_.user().OnDialog(IDD_SELUSER, c.picker);
    RunManager([&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, c.focused));
      ASSERT_TRUE(d.Click(IDC_ROLEDEPT_ADD_USER));
    });
    const std::vector<std::string> all = Messages();
    EXPECT_EQ(std::vector<std::string>(all.begin() + shown, all.end()), c.messages);
    EXPECT_EQ(module_.user().Dialogs().size() - opened, c.picker ? 2u : 1u);
    EXPECT_EQ(Places(kBobNid), before);
  }
}

// Deleted, found by a search, restored into the department picked: the grid row, the record
// and the button show the account again, and the user logs on with the old password.
TEST_P(AddRestoreTest, ADeletedUserIsRestoredThroughThePickerAndLogsOnAgain) {
  StartAsAdmin();
  module_.user().AnswerNextMessageBox(IDOK);  // "Delete ...?"
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kGraceNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
  });
  ASSERT_FALSE(TryLogon(storePath_, "grace", "grace-pw1"));
  module_.user().OnDialog(IDD_SELUSER, [](DialogDriver& p) {
    EXPECT_EQ(p.Caption(), "dlg_userman.cap restore (grace[del] / Grace Green)");
    ASSERT_TRUE(PickInTree(p, kBobNid));  // a user cannot take the restored one
    ASSERT_TRUE(p.Dialog().IsRunning());
    ASSERT_TRUE(PickInTree(p, kQaNid));
  });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, "grace"));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_SEARCH));
    ASSERT_TRUE(d.Select(IDC_ROLEDEPT_VIEW, 1));
    ASSERT_EQ(d.Text(IDC_ROLEDEPT_DELETE), "dlg_userman.btn_restore");
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
    EXPECT_EQ(d.Text(IDC_ROLEDEPT_DELETE), "dlg_userman.btn_del");
    EXPECT_EQ(Field(d, "CCODE"), "grace") << "the record is shown again";
    auto* grid = dynamic_cast<XPrdFindGrid*>(d.Dialog().GetDlgItem(IDC_ROLEDEPT_GRID));
    ASSERT_NE(grid, nullptr);
    char code[64] = {};
    ASSERT_TRUE(grid->GetTextByOrgFld(1, "UUSR.CCODE", code, sizeof code));
    EXPECT_STREQ(code, "grace") << "the row was read again";
  });
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"Delete Grace Green (grace)?",
                                      "dlg_userman.must sel type node", "normal_res.save ok"}));
  EXPECT_EQ(Query("select CCODE || ':' || NSTAT from UUSR where NID = 314"), "grace:255");
  EXPECT_EQ(Places(kGraceNid), "305");
  EXPECT_TRUE(TryLogon(storePath_, "grace", "grace-pw1"));
}

// A user marked deleted without losing its place is restored where the tree shows it: the
// tree is read again and the user stays focused, now in two places.
TEST_P(AddRestoreTest, RestoreInTheTreeKeepsTheUserFocused) {
  StartAsAdmin();
  module_.user().OnDialog(IDD_SELUSER, [](DialogDriver& p) {
    EXPECT_EQ(p.Caption(), "dlg_userman.cap restore (ivan / Ivan Ito)");
    PickInTree(p, kEngNid);
  });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kIvanNid));
    ASSERT_EQ(d.Text(IDC_ROLEDEPT_DELETE), "dlg_userman.btn_restore");
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
    EXPECT_EQ(SelectedNid(d), kIvanNid);
    EXPECT_EQ(Field(d, "CCODE"), "ivan");
    EXPECT_EQ(d.Text(IDC_ROLEDEPT_DELETE), "dlg_userman.btn_del");
  });
  EXPECT_EQ(Query("select NSTAT from UUSR where NID = 318"), "255");
  EXPECT_EQ(Places(kIvanNid), "301,304");
  EXPECT_TRUE(TryLogon(storePath_, "ivan", "ivan-pw1"));
}

// A restore that cannot go on leaves the user deleted where it was.
TEST_P(AddRestoreTest, RestoreStopsWhenTheCodeIsTakenOrThePickerIsCancelled) {
  StartAsAdmin();
  struct Case {
    const char* setup;  // SQL run first, or null
    bool pickerOpens;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {nullptr, true, {}},  // the picker is cancelled
      {"update UUSR set CCODE = 'frank' where NID = 309", false, {"frank is taken."}},
  };
  for (const Case& c : cases) {
    if (c.setup != nullptr) WriteStore(storePath_, c.setup);
    const std::size_t shown = Messages().size();
    const std::size_t opened = module_.user().Dialogs().size();
    RunManager([](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kFrankNid));
      ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
      EXPECT_EQ(d.Text(IDC_ROLEDEPT_DELETE), "dlg_userman.btn_restore");
    });
    const std::vector<std::string> all = Messages();
    EXPECT_EQ(std::vector<std::string>(all.begin() + shown, all.end()), c.messages);
    EXPECT_EQ(module_.user().Dialogs().size() - opened, c.pickerOpens ? 2u : 1u);
    EXPECT_EQ(Query("select CCODE || ':' || NSTAT from UUSR where NID = 313"), "frank[del]:254");
    EXPECT_EQ(Places(kFrankNid), "304");
  }
}

INSTANTIATE_TEST_SUITE_P(Store, AddRestoreTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
