// Move To and the department picker it opens, through HRZCmd and the automation, embedded
// and over TCP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/module_state.h"
#include "org_fixture.h"
#include "pickers/seldept_dlg.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seldept_ids.h"
#include "xbomtree.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kCadNid = 303;
constexpr int kFixtureNid = 316;

XBOMTree* PickerTree(DialogDriver& p) {
  return dynamic_cast<XBOMTree*>(p.Dialog().GetDlgItem(IDC_SELDEPT_TREE));
}

// The picker's node of nid, opening departments on the way; -1 when not shown.
int PickerNode(DialogDriver& p, int nid) {
  XBOMTree* tree = PickerTree(p);
  for (int node = 0; tree != nullptr && node < tree->GetNodes(-1); ++node) {
    if (tree->GetBITM_NID(node) == nid) return node;
    if (!tree->IsExpanded(node)) tree->Expand(node);
  }
  return -1;
}

int FocusedNid(DialogDriver& p) {
  XBOMTree* tree = PickerTree(p);
  const int node = tree != nullptr ? tree->GetFocusNode() : -1;
  return node >= 0 ? tree->GetBITM_NID(node) : -1;
}

class MoveToTest : public ManagerTest {
 protected:
  // Runs the picker as a caller would, with action inside it.
  int RunPicker(std::vector<int> preset, std::function<void(DialogDriver&)> action,
                hrz::CSelDeptDlg* picker) {
    module_.user().OnDialog(IDD_SELDEPT, std::move(action));
    std::copy(preset.begin(), preset.end(), picker->presetPath);
    hrz::ModuleResourceScope resources;
    return static_cast<int>(picker->DoModal());
  }
};

TEST_P(MoveToTest, MovesAUserAndFocusesItUnderItsNewDepartment) {
  StartAsAdmin();
  module_.user().OnDialog(IDD_SELDEPT, [](DialogDriver& p) {
    EXPECT_EQ(p.Text(IDC_SELDEPT_MESSAGE), "Move bob / Bob Baker to");
    EXPECT_EQ(PickerNode(p, kBobNid), -1) << "users are not offered";
    ASSERT_TRUE(p.Select(IDC_SELDEPT_VIEW, PickerNode(p, kQaNid)));
    ASSERT_TRUE(p.Click(IDOK));
  });
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_MOVE_TO));
    EXPECT_EQ(SelectedNid(d), kBobNid) << "focused again";
    auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_ROLEDEPT_TREE));
    EXPECT_EQ(tree->GetBITM_NID(tree->GetParentIndex(tree->GetFocusNode())), kQaNid);
  });
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Query("select group_concat(NPID) from UUSRBM where NCID = 309"), "305");
}

TEST_P(MoveToTest, RefusesALoopAndChangesNothingOnCancel) {
  StartAsAdmin();
  const std::string before = Query("select group_concat(NPID || ':' || NCID) from UUSRBM");
  struct Case {
    int target;  // -1: the picker is cancelled
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {kFixtureNid, {"dlg_addbom.bom loop"}},  // MECH below its own grandchild
      {kMechNid, {"dlg_addbom.bom loop"}},     // MECH into itself
      {-1, {}},
  };
  for (const Case& c : cases) {
    module_.user().OnDialog(IDD_SELDEPT, [&](DialogDriver& p) {
      if (c.target < 0) {
        ASSERT_TRUE(p.Click(IDCANCEL));
        return;
      }
      ASSERT_TRUE(p.Select(IDC_SELDEPT_VIEW, PickerNode(p, c.target)));
      ASSERT_TRUE(p.Click(IDOK));
    });
    const std::size_t seen = Messages().size();
    RunManager([](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, kMechNid));
      ASSERT_TRUE(d.Click(IDC_ROLEDEPT_MOVE_TO));
      EXPECT_EQ(SelectedNid(d), kMechNid) << "the tree is unchanged";
    });
    const std::vector<std::string> all = Messages();
    EXPECT_EQ(std::vector<std::string>(all.begin() + seen, all.end()), c.messages) << c.target;
  }
  EXPECT_EQ(Query("select group_concat(NPID || ':' || NCID) from UUSRBM"), before);
}

TEST_P(MoveToTest, ThePickerFollowsItsPresetPathAndGivesThePathBack) {
  StartAsAdmin();
  struct Case {
    std::vector<int> preset;
    int focused;  // -1: nothing
  };
  const Case cases[] = {
      {{kRootNid, kEngNid, kMechNid, kCadNid, kFixtureNid}, kFixtureNid},
      {{kRootNid, kMechNid}, -1},  // MECH is not a child of the root
      {{kRootNid}, kRootNid},
      {{}, kRootNid},
  };
  for (const Case& c : cases) {
    hrz::CSelDeptDlg picker;
    int focused = -2;
    EXPECT_EQ(RunPicker(
                  c.preset, [&](DialogDriver& p) { focused = FocusedNid(p); }, &picker),
              IDCANCEL);
    EXPECT_EQ(focused, c.focused) << c.preset.size();
  }

  hrz::CSelDeptDlg picker;
  EXPECT_EQ(RunPicker(
                {kRootNid, kEngNid, kMechNid, kCadNid},
                [](DialogDriver& p) {
                  XBOMTree* tree = PickerTree(p);
                  // CAD has a department below: a double click only opens it.
                  tree->Expand(tree->GetFocusNode(), FALSE);
                  ASSERT_TRUE(p.Activate(IDC_SELDEPT_VIEW, tree->GetFocusNode()));
                  EXPECT_TRUE(p.Dialog().IsRunning());
                  // FIXTURE holds only a user: it is a leaf here, and a double click picks it.
                  ASSERT_TRUE(p.Activate(IDC_SELDEPT_VIEW, PickerNode(p, kFixtureNid)));
                },
                &picker),
            IDOK);
  EXPECT_EQ(picker.chosenNid, kFixtureNid);
  EXPECT_EQ(picker.chosenLabel, "FIXTURE / Fixture Design");
  EXPECT_EQ(std::vector<int>(picker.chosenPath, picker.chosenPath + 6),
            (std::vector<int>{kRootNid, kEngNid, kMechNid, kCadNid, kFixtureNid, 0}));
}

TEST_P(MoveToTest, OkWithNothingFocusedAsksAgain) {
  StartAsAdmin();
  hrz::CSelDeptDlg picker;
  EXPECT_EQ(RunPicker(
                {kRootNid, kMechNid},
                [](DialogDriver& p) {
                  ASSERT_TRUE(p.Click(IDOK));
                  EXPECT_TRUE(p.Dialog().IsRunning());
                  ASSERT_TRUE(p.Select(IDC_SELDEPT_VIEW, 0));
                  ASSERT_TRUE(p.Click(IDOK));
                },
                &picker),
            IDOK);
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userman.error user dept"});
  EXPECT_EQ(picker.chosenNid, kRootNid);
  EXPECT_EQ(picker.chosenPath[0], kRootNid);
  EXPECT_EQ(picker.chosenPath[1], 0) << "the root's path is one NID";
}

INSTANTIATE_TEST_SUITE_P(Store, MoveToTest, ::testing::Values(Via::kEmbedded, Via::kTcp), ViaName);

}  // namespace
}  // namespace hrztest
