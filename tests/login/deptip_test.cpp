// The department IP action of the user manager's record pane, through HRZCmd: the list the
// dialog takes, what it refuses, which entries it writes, and what the server refuses a
// manager. Every test runs on a fresh sample store, once embedded and once over TCP.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hrzcommon/text.h"
#include "org/org_fixture.h"
#include "platform_ui.h"
#include "resources/dialogs/deptip_ids.h"
#include "resources/dialogs/roledept_ids.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kArchiveNid = 315;  // a department with nobody in it
constexpr const char* kOldList = "198.51.100.*";

class DeptIpTest : public ManagerTest {
 protected:
  // The NIDs of the entries whose list is list, in order.
  std::string Holding(const std::string& list) {
    return Query("select group_concat(NID) from (select NID from UUSR where CLGNIP = " +
                 hrz::SqlQuoted(list) + " order by NID)");
  }
  // Every entry's list.
  std::string AllLists() {
    return Query("select group_concat(NID || ':' || coalesce(CLGNIP, '-'), ' ') from UUSR");
  }

  // Clicks the record of nid and its department IP button; the dialog runs action.
  void RunOnRecord(int nid, std::function<void(DialogDriver&)> action) {
    module_.user().OnDialog(IDD_DEPTIP, std::move(action));
    RunManager([nid](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, nid));
      ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNDEPTIP"));
    });
  }
};

TEST_P(DeptIpTest, WritesTheListToTheNodeAndEverythingBelowItButTheReservedEntries) {
  WriteStore(storePath_,
             std::string("update UUSR set CLGNIP = '") + kOldList + "' where NID in (2, 301)");
  StartAsAdmin();
  struct Case {
    int nid;
    std::string list;
    std::string written;
    std::string shownAfter;
  };
  const Case cases[] = {
      // Engineering: Mechanical Design, CAD Team and Fixture Design with their users.
      {kEngNid, "10.0.*.*, 192.168.1.2**", "301,302,303,308,309,312,314,316,317",
       "10.0.*.*, 192.168.1.2**"},
      {kArchiveNid, "10.9.9.9", "315", "10.9.9.9"},
      // The root: every entry but the administrator's and the root's own, deleted users too.
      {kRootNid, "", "301,302,303,304,305,306,307,308,309,310,311,312,313,314,315,316,317,318",
       kOldList},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nid);
    std::string shown;
    module_.user().OnDialog(IDD_DEPTIP, [&](DialogDriver& dialog) {
      shown = dialog.Text(IDC_DEPTIP_LIST);
      ASSERT_TRUE(dialog.SetText(IDC_DEPTIP_LIST, c.list));
      ASSERT_TRUE(dialog.Click(IDOK));
    });
    RunManager([&](DialogDriver& d) {
      ASSERT_TRUE(ClickRecord(d, c.nid));
      ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNDEPTIP"));
      EXPECT_EQ(Field(d, "CLGNIP"), c.shownAfter) << "the record shown again";
    });
    EXPECT_EQ(Holding(c.list), c.written);
    EXPECT_EQ(Messages().back(), "dlg_user_lgnmac.ip ok");
    if (c.nid == kEngNid) {
      EXPECT_EQ(shown, kOldList) << "the department's own list to start";
    }
  }
  EXPECT_EQ(Holding(kOldList), "2") << "the root keeps its list";
  EXPECT_EQ(Query("select coalesce(CLGNIP, '-') from UUSR where NID = 1"), "-");
}

TEST_P(DeptIpTest, ShowsItsTextsAndWritesNothingOnCancel) {
  StartAsAdmin();
  const std::string before = AllLists();
  RunOnRecord(kEngNid, [](DialogDriver& dialog) {
    EXPECT_EQ(dialog.Caption(), "dlg_user_lgnmac.dlg_cap_deptip");
    EXPECT_EQ(dialog.Text(IDC_DEPTIP_HELP), "dlg_user_lgnmac.ip help");
    EXPECT_EQ(dialog.Text(IDC_DEPTIP_LIST_LABEL), "dlg_user_lgnmac.lbl_deptip");
    EXPECT_EQ(dialog.Text(IDOK), "normal_res.btn_ok");
    EXPECT_EQ(dialog.Text(IDCANCEL), "normal_res.btn_cancel");
    ASSERT_TRUE(dialog.SetText(IDC_DEPTIP_LIST, "10.0.0.1"));
    ASSERT_TRUE(dialog.Click(IDCANCEL));
  });
  EXPECT_EQ(AllLists(), before);
  EXPECT_TRUE(Messages().empty());
}

TEST_P(DeptIpTest, RefusesAMalformedOrOverlongListAndKeepsTheDialogOpen) {
  StartAsAdmin();
  const std::string before = AllLists();
  std::string overlong;
  while (overlong.size() <= 511) overlong += "10.0.0.1, ";
  const std::vector<std::string> typed = {
      "192.168.1.256",
      "10.0.*.*; 10.1.*.*",  // ";" separates nothing here
      "10.0.0.1, all",
      " 10.0.0.1 , 10.0.0",  // the second piece fails
      "10.0.0.1\n10.0.0.2",  // nor does a line break
      overlong,
  };
  RunOnRecord(kEngNid, [&](DialogDriver& dialog) {
    for (const std::string& list : typed) {
      ASSERT_TRUE(dialog.SetText(IDC_DEPTIP_LIST, list));
      ASSERT_TRUE(dialog.Click(IDOK));
      EXPECT_TRUE(dialog.Dialog().IsRunning()) << list;
    }
    ASSERT_TRUE(dialog.Click(IDCANCEL));
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "192.168.1.256dlg_user_lgnmac.ip wrong",
                            "10.0.*.*; 10.1.*.*dlg_user_lgnmac.ip err char",
                            "alldlg_user_lgnmac.ip err char",
                            "10.0.0dlg_user_lgnmac.ip wrong",
                            "10.0.0.1\n10.0.0.2dlg_user_lgnmac.ip err char",
                            "At most 511 characters.",
                        }));
  const hrz::MessageBoxCall& box = module_.user().MessageBoxes().front();
  EXPECT_EQ(box.caption, "dlg_user_lgnmac.mb_cap_ip");
  EXPECT_EQ(box.type, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(AllLists(), before);
}

// dave and alice manage users through Quality Assurance, where both hang. The server lets a
// manager write no list of its own, so alice's stays and the action says so.
TEST_P(DeptIpTest, AManagerCannotRewriteItsOwnList) {
  Grant(kQaNid, "XM");
  StartAs("alice", "alice-pw1");
  RunOnRecord(kQaNid, [](DialogDriver& dialog) {
    ASSERT_TRUE(dialog.SetText(IDC_DEPTIP_LIST, "127.0.0.*"));
    ASSERT_TRUE(dialog.Click(IDOK));
  });
  EXPECT_EQ(Holding("127.0.0.*"), "305,311");
  EXPECT_EQ(Query("select coalesce(CLGNIP, '-') from UUSR where NID = 308"), "-");
  EXPECT_EQ(Messages(), std::vector<std::string>{"1 entries kept their list."});
}

// The list goes below the tree's focused node, so the button works only when that node is
// the record shown, not on a search result.
TEST_P(DeptIpTest, WorksOnlyOnTheRecordFocusedInTheTree) {
  StartAsAdmin();
  const std::string before = AllLists();
  RunManager([](DialogDriver& d) {
    ASSERT_TRUE(d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, "MECH"));
    ASSERT_TRUE(d.Click(IDC_ROLEDEPT_SEARCH));
    ASSERT_TRUE(d.Select(IDC_ROLEDEPT_VIEW, 1));
    ASSERT_EQ(Field(d, "CCODE"), "MECH");
    ASSERT_TRUE(d.ClickField(IDC_ROLEDEPT_RECORD, "BTNDEPTIP"));
  });
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userman.must sel node"});
  EXPECT_EQ(module_.user().Dialogs(), std::vector<int>{IDD_ROLEDEPT}) << "no dialog opened";
  EXPECT_EQ(AllLists(), before);
}

INSTANTIATE_TEST_SUITE_P(Store, DeptIpTest, ::testing::Values(Via::kEmbedded, Via::kTcp), ViaName);

}  // namespace
}  // namespace hrztest
