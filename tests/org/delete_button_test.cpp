// The user manager's Delete button (Delete and its Unlock face) and Remove, through HRZCmd,
// embedded and over TCP: what the user is asked, what the store holds afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "org_fixture.h"
#include "resources/dialogs/roledept_ids.h"
#include "xbomtree.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kErinNid = 312;  // locked today
constexpr int kArchiveNid = 315;

class DeleteButtonTest : public ManagerTest {};

TEST_P(DeleteButtonTest, DeletesWhatTheTreeFocusesOrSaysWhyNot) {
  struct Case {
    int nid;
    bool expandFirst;  // the node's children are in the tree before Delete
    int answer;        // to the confirmation, when one comes
    std::vector<std::string> messages;
    const char* stateAfter;  // the record's NSTAT, or its count when gone
    bool nodeGone;
  };
  const Case cases[] = {
      {kGraceNid, false, IDOK, {"Delete Grace Green (grace)?"}, "254", true},
      {kArchiveNid, false, IDOK, {"Delete the department or role Archive (ARCHIVE)?"}, "0", true},
      {kEngNid, true, IDOK, {"dlg_userman.del not empty cat"}, "1", false},
      {kEngNid,
       false,
       IDOK,
       {"Delete the department or role Engineering (ENG)?", "dlg_userman.del not empty cat"},
       "1",
       false},
      {kRootNid, false, IDOK, {"dlg_userman.del root"}, "1", false},
      {kBobNid, false, IDCANCEL, {"Delete Bob Baker (bob)?"}, "255", false},
  };
  StartAsAdmin();
  for (const Case& c : cases) {
    module_.user().AnswerNextMessageBox(c.answer);
    bool gone = false;
    const std::size_t before = Messages().size();
    RunManager([&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, c.nid)) << c.nid;
      auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_ROLEDEPT_TREE));
      if (c.expandFirst) tree->Expand(tree->GetFocusNode());
      ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
      gone = NodeOf(d, c.nid) < 0;
      if (gone) {
        EXPECT_EQ(Field(d, "CCODE"), "") << "the pane is cleared";
      }
    });
    const std::vector<std::string> all = Messages();
    EXPECT_EQ(std::vector<std::string>(all.begin() + before, all.end()), c.messages) << c.nid;
    const std::string nid = std::to_string(c.nid);
    const std::string state = c.nid == kArchiveNid || c.nid == kEngNid || c.nid == kRootNid
                                  ? Query("select count(*) from UUSR where NID = " + nid)
                                  : Query("select NSTAT from UUSR where NID = " + nid);
    EXPECT_EQ(state, c.stateAfter) << c.nid;
    EXPECT_EQ(gone, c.nodeGone) << c.nid;
  }
  EXPECT_EQ(Query("select count(*) from UUSRBM where NCID = 314"), "0") << "grace holds no place";
  EXPECT_FALSE(TryLogon(storePath_, "grace", "grace-pw1")) << "a deleted user cannot log on";
}

TEST_P(DeleteButtonTest, UnlockGivesTheAccountBack) {
  StartAsAdmin();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kErinNid));
    ASSERT_EQ(d.Text(IDC_ROLEDEPT_DELETE), "dlg_userman.btn_unlock");
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
    EXPECT_EQ(d.Text(IDC_ROLEDEPT_DELETE), "dlg_userman.btn_del");
    EXPECT_EQ(Field(d, "CCODE"), "erin") << "the record is shown again";
  });
  EXPECT_EQ(Messages(), std::vector<std::string>{"normal_res.save ok"});
  EXPECT_EQ(Query("select count(*) from UUSR where NID = 312 and NTRYLGN is null and "
                  "DTRYLGNTM is null"),
            "1");
  EXPECT_NE(LogonAs("erin", "erin-pw1"), nullptr);
}

TEST_P(DeleteButtonTest, RemoveTakesOnePlaceAndTheAdministratorIsNeverDeleted) {
  StartAsAdmin();
  module_.user().AnswerNextMessageBox(IDOK);
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kAliceNid));  // in CAD Team, found first
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_REMOVE));
    EXPECT_EQ(Field(d, "CCODE"), "");
    // The grid: adm's row refuses, the header row names nothing.
    ASSERT_TRUE(d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, "adm"));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_SEARCH));
    ASSERT_TRUE(d.Select(IDC_ROLEDEPT_VIEW, 1));
    ASSERT_EQ(Field(d, "CCODE"), "adm");
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Remove Alice Archer (alice) from here?",
                                                  "dlg_userman.sys user not del"}));
  EXPECT_EQ(Query("select count(*) from UUSRBM where NCID = 308"), "2");
  EXPECT_EQ(Query("select count(*) from UUSRBM where NCID = 308 and NPID = 303"), "0");
  EXPECT_EQ(Query("select NSTAT from UUSR where NID = 1"), "255");
}

TEST_P(DeleteButtonTest, TheGridDeletesItsFocusedUserRow) {
  StartAsAdmin();
  module_.user().AnswerNextMessageBox(IDOK);
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, "grace"));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_SEARCH));
    ASSERT_TRUE(d.Select(IDC_ROLEDEPT_VIEW, 1));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
    EXPECT_FALSE(d.Select(IDC_ROLEDEPT_VIEW, 1)) << "the row is gone";
  });
  EXPECT_EQ(Messages(), std::vector<std::string>{"Delete grace : Grace Green?"});
  EXPECT_EQ(Query("select NSTAT from UUSR where NID = 314"), "254");
}

TEST_P(DeleteButtonTest, AViewerOfTheOrganisationChangesNothing) {
  Grant(kQaNid, "XV");  // dave (QA) may look, not change
  StartAs("dave", "dave-pw1");
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(ClickRecord(d, kGraceNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_DELETE));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_REMOVE));
    ASSERT_TRUE(ClickRecord(d, kQaNid));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_ADD_USER));
  });
  EXPECT_EQ(Messages(), std::vector<std::string>(3, "dlg_userman.no pvg"));
  EXPECT_EQ(module_.user().Dialogs(), std::vector<int>{IDD_ROLEDEPT}) << "no picker opened";
  EXPECT_EQ(Query("select NSTAT from UUSR where NID = 314"), "255");
}

INSTANTIATE_TEST_SUITE_P(Store, DeleteButtonTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
