// The user picker: its kind list, and "XSELUSER" run through HRZCmd with the automation,
// embedded and over TCP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/requests.h"
#include "org/seluser_dlg.h"
#include "org_fixture.h"
#include "resources/dialogs/seluser_ids.h"
#include "xbomtree.h"
#include "xfindgrid.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

TEST(KindInList, TrimsSplitsAndComparesWithoutCase) {
  // Pieces of 127 and 128 characters, the blanks inside the list so that they count.
  const std::string fits = "UUSRI" + std::string(122, ' ') + ",UDEPT";
  const std::string over = "UUSRI" + std::string(123, ' ') + ",UDEPT";
  const std::string long127(127, 'K');
  const std::string long128(128, 'K');
  struct Case {
    const char* kind;
    const char* list;
    bool taken;
  };
  const Case cases[] = {
      {"UUSRI", nullptr, false},
      {"UUSRI", "", false},
      {"UUSRI", " \t ", false},
      {nullptr, nullptr, true},  // an entry without a kind is always taken
      {"", "UDEPT", true},
      {" \t", "UDEPT", true},
      {"*", "", true},
      {" <ALL> ", nullptr, true},
      {"UUSRI", "UUSRI,KQUSR", true},
      {"KQUSR", "UUSRI,KQUSR", true},
      {"UDEPT", "UUSRI,KQUSR", false},
      {"UUSR", "UUSRI,KQUSR", false},  // no prefix match
      {"UUSRI", " uusri ;\tudept ", true},
      {"UDEPT", " uusri ;\tudept ", true},
      {"UROLE", " uusri ;\tudept ", false},
      {"UROLE", ",;UROLE;,", true},  // empty pieces name nothing
      {"UROLE", "<all>", true},
      {"UROLE", "UUSRI; * ", true},
      // A piece of 128 characters names nothing, even when trimming would shorten it.
      {"UUSRI", fits.c_str(), true},
      {"UUSRI", over.c_str(), false},
      {"UDEPT", over.c_str(), true},
      {long127.c_str(), long127.c_str(), true},
      {long128.c_str(), long128.c_str(), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hrz::KindInList(c.kind, c.list), c.taken)
        << (c.kind ? c.kind : "null") << " in " << (c.list ? c.list : "null");
  }
}

class SelectUserTest : public ManagerTest {
 protected:
  // Runs "XSELUSER" with kinds (null: no text) and action inside the picker.
  int SelectUser(const char* kinds, std::function<void(DialogDriver&)> action) {
    module_.user().OnDialog(IDD_SELUSER, std::move(action));
    std::string buffer = kinds != nullptr ? kinds : "";
    const int result = module_.Run("XSELUSER", kinds != nullptr ? buffer.data() : nullptr);
    EXPECT_EQ(buffer, kinds != nullptr ? kinds : "") << "the text is never written";
    return result;
  }
};

// OK on an entry the kind list does not take says so and keeps the picker open; the
// picker then ends with what the user does next.
TEST_P(SelectUserTest, ReturnsTheChosenNidWhenTheKindListTakesIt) {
  struct Case {
    const char* kinds;
    int first;   // picked first
    int second;  // picked when the first was refused; 0: cancel instead
    int result;
    int refusals;
  };
  const Case cases[] = {
      {"UUSRI,KQUSR", kBobNid, 0, kBobNid, 0},
      {"UUSRI,KQUSR", kEngNid, kBobNid, kBobNid, 1},
      {" udept ; uusri ", kEngNid, 0, kEngNid, 0},
      {"<all>", kQaNid, 0, kQaNid, 0},
      {"*", kDaveNid, 0, kDaveNid, 0},
      {nullptr, kBobNid, 0, -1, 1},  // no list: nothing of the organisation can be chosen
      {"", kEngNid, 0, -1, 1},
  };
  StartAsAdmin();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kinds != nullptr ? c.kinds : "null");
    const std::size_t before = Messages().size();
    const int result = SelectUser(c.kinds, [&](DialogDriver& p) {
      EXPECT_EQ(p.Caption(), "dlg_userman.dlg_cap_sel_user");
      ASSERT_TRUE(PickInTree(p, c.first));
      if (!p.Dialog().IsRunning() || c.second == 0) return;
      ASSERT_TRUE(PickInTree(p, c.second));
    });
    EXPECT_EQ(result, c.result);
    const std::vector<std::string> refusals(Messages().size() - before,
                                            "dlg_userman.must sel type node");
    const std::vector<std::string> all = Messages();
    EXPECT_EQ(std::vector<std::string>(all.begin() + before, all.end()), refusals);
    EXPECT_EQ(all.size() - before, static_cast<std::size_t>(c.refusals));
  }
}

TEST_P(SelectUserTest, EnterInTheSearchEditSearchesAndTheGridRowIsPicked) {
  StartAsAdmin();
  int erinRow = -1;
  const int result = SelectUser("UUSRI,KQUSR", [&](DialogDriver& p) {
    auto* tree = p.Dialog().GetDlgItem(IDC_SELUSER_TREE);
    auto* grid = p.Dialog().GetDlgItem(IDC_SELUSER_GRID);
    ASSERT_TRUE(tree != nullptr && grid != nullptr);
    // A blank text searches nothing: the tree stays.
    ASSERT_TRUE(p.SetText(IDC_SELUSER_SEARCH_TEXT, " \t "));
    ASSERT_TRUE(p.PressKey(IDC_SELUSER_SEARCH_TEXT, VK_RETURN));
    EXPECT_TRUE(p.Dialog().IsRunning());
    EXPECT_TRUE(tree->IsWindowVisible());
    EXPECT_FALSE(grid->IsWindowVisible());
    // Enter with a word searches and keeps the picker open on the grid.
    ASSERT_TRUE(p.SetText(IDC_SELUSER_SEARCH_TEXT, "er"));
    ASSERT_TRUE(p.PressKey(IDC_SELUSER_SEARCH_TEXT, VK_RETURN));
    ASSERT_TRUE(p.Dialog().IsRunning()) << "Enter did not end the picker";
    EXPECT_TRUE(grid->IsWindowVisible());
    EXPECT_FALSE(tree->IsWindowVisible());
    // Switch goes to the tree and back.
    ASSERT_TRUE(p.Click(IDC_SELUSER_SWITCH));
    EXPECT_TRUE(tree->IsWindowVisible());
    ASSERT_TRUE(p.Click(IDC_SELUSER_SWITCH));
    EXPECT_TRUE(grid->IsWindowVisible());
    // "er": users (erin, alice Archer) and departments (Engineering), which the list refuses.
    auto* found = dynamic_cast<XPrdFindGrid*>(grid);
    ASSERT_NE(found, nullptr);
    int deptRow = -1;
    for (int row = 1; row < found->GetRows(); ++row) {
      char kind[17] = {};
      const int nid = found->GetRecNID(row, nullptr, kind);
      if (std::string(kind) == "UDEPT" && deptRow < 0) deptRow = row;
      if (nid == 312) erinRow = row;
    }
    ASSERT_GE(deptRow, 1);
    ASSERT_GE(erinRow, 1);
    ASSERT_TRUE(p.Select(IDC_SELUSER_VIEW, deptRow));
    ASSERT_TRUE(p.Click(IDOK));
    ASSERT_TRUE(p.Dialog().IsRunning());
    ASSERT_TRUE(p.Select(IDC_SELUSER_VIEW, erinRow));
    ASSERT_TRUE(p.Click(IDOK));
  });
  EXPECT_EQ(result, 312);
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userman.must sel type node"});
}

TEST_P(SelectUserTest, CancelAndTooLongAListGiveMinusOne) {
  StartAsAdmin();
  EXPECT_EQ(SelectUser("UUSRI",
                       [](DialogDriver& p) {
                         ASSERT_TRUE(
                             p.Select(IDC_SELUSER_VIEW, TreeNodeOf(p, IDC_SELUSER_TREE, kBobNid)));
                         ASSERT_TRUE(p.Click(IDCANCEL));
                       }),
            -1)
      << "Cancel with a user focused";
  const std::string list127 = "UUSRI," + std::string(121, ' ');
  EXPECT_EQ(SelectUser(list127.c_str(), [](DialogDriver& p) { PickInTree(p, kBobNid); }), kBobNid);
  // Longer than a kind list may be: refused before anything opens.
  const std::string list128 = list127 + " ";
  EXPECT_EQ(SelectUser(list128.c_str(), [](DialogDriver&) { FAIL() << "opened"; }), -1);
  EXPECT_EQ(module_.user().Dialogs(), (std::vector<int>{IDD_SELUSER, IDD_SELUSER}));
  EXPECT_TRUE(Messages().empty());
}

// Refresh reads the organisation again: a user removed meanwhile is gone from the tree.
TEST_P(SelectUserTest, RefreshReadsTheTreeAgain) {
  StartAsAdmin();
  Connection adm = LogonAs("adm", kAdminPassword);
  const int link = std::stoi(Query("select NID from UUSRBM where NCID = 314"));
  SelectUser("UUSRI", [&](DialogDriver& p) {
    ASSERT_GE(TreeNodeOf(p, IDC_SELUSER_TREE, kGraceNid), 0);
    ASSERT_TRUE(hrz::RemoveUserRequest(adm.get(), link));
    EXPECT_GE(TreeNodeOf(p, IDC_SELUSER_TREE, kGraceNid), 0) << "not yet read again";
    ASSERT_TRUE(p.Click(IDC_SELUSER_REFRESH));
    EXPECT_EQ(p.Selection(IDC_SELUSER_VIEW), 0) << "the root is focused";
    EXPECT_EQ(TreeNodeOf(p, IDC_SELUSER_TREE, kGraceNid), -1);
  });
}

INSTANTIATE_TEST_SUITE_P(Store, SelectUserTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
