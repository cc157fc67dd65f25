// The user manager's Where Used button: the upward tree of the shown record, through HRZCmd,
// embedded and over TCP.
#include <gtest/gtest.h>

#include <vector>

#include "org_fixture.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/whereuse_ids.h"
#include "xbomtree.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

class WhereUsedTest : public ManagerTest {};

struct Shown {
  std::vector<int> firstLevel;  // the root's record, then what holds it
  std::vector<int> all;         // every node after expanding the whole tree, in tree order
};

// Reads the where-used tree as it opens, then expands all of it.
Shown ReadTree(DialogDriver& w) {
  Shown shown;
  auto* tree = dynamic_cast<XBOMTree*>(w.Dialog().GetDlgItem(IDC_WHEREUSE_TREE));
  if (tree == nullptr) return shown;
  const auto nids = [tree] {
    std::vector<int> out;
    for (int node = 0; node < tree->GetNodes(-1); ++node) {
      char kind[17] = {};
      out.push_back(tree->GetBITM_NID(node, kind));
    }
    return out;
  };
  shown.firstLevel = nids();
  tree->ExpandAll(0);
  shown.all = nids();
  return shown;
}

TEST_P(WhereUsedTest, ShowsEveryPlaceOfTheRecordAndClimbsToTheRoot) {
  struct Case {
    int nid;
    std::vector<int> firstLevel;
    std::vector<int> all;
  };
  const Case cases[] = {
      // alice: CAD (below MECH and ENG), QA and the role REVIEW
      {kAliceNid,
       {kAliceNid, 303, kQaNid, 306},
       {kAliceNid, 303, kMechNid, kEngNid, kRootNid, kQaNid, kRootNid, 306, kRootNid}},
      {315, {315, kRootNid}, {315, kRootNid}},  // an empty department
      {kRootNid, {kRootNid}, {kRootNid}},       // held by nothing: the root alone
  };
  StartAsAdmin();
  for (const Case& c : cases) {
    Shown shown;
    std::string caption, ok;
    module_.user().OnDialog(IDD_WHEREUSE, [&](DialogDriver& w) {
      caption = w.Caption();
      ok = w.Text(IDOK);
      shown = ReadTree(w);
      ASSERT_TRUE(w.Click(IDOK));
    });
    RunManager([&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, c.nid)) << c.nid;
      ASSERT_TRUE(d.Click(IDC_ROLEDEPT_WHERE_USED));
      EXPECT_TRUE(d.Dialog().IsRunning()) << "the manager stays open";
    });
    EXPECT_EQ(shown.firstLevel, c.firstLevel) << c.nid;
    EXPECT_EQ(shown.all, c.all) << c.nid;
    EXPECT_EQ(caption, "dlg_userman.dlg_cap");
    EXPECT_EQ(ok, "dlg_userman.btn_ok");
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_P(WhereUsedTest, ARecordNotYetSavedOpensNothing) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kBobNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_NEW_USER));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_WHERE_USED));
    EXPECT_TRUE(d.Dialog().IsRunning());
  });
  EXPECT_EQ(module_.user().Dialogs(), std::vector<int>{IDD_ROLEDEPT}) << "no dialog opened";
}

INSTANTIATE_TEST_SUITE_P(Store, WhereUsedTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
