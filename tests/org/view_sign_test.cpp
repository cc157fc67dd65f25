// The signature viewer "XVIEWSIGN" run through HRZCmd with the automation, embedded and over
// TCP: who may open whose signature, what reaches the temporary folder, what the shell is
// asked to open, and the encryption driver registration around each fetch. In the sample
// alice (CAD, QA, role Reviewers) holds a bitmap signature, dave (QA) a drawing and
// "XUPDEPTSGN"; grace sits in Engineering only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "hrzcommon/krn_protocol.h"
#include "org_fixture.h"
#include "package_file.h"
#include "platform_ui.h"
#include "resources/dialogs/viewusersign_ids.h"
#include "support/stand_in_driver.h"
#include "support/temp_dir.h"
#include "xbomtree.h"
#include "xfindgrid.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kReviewNid = 306;

struct Logon {
  const char* code;
  const char* password;
};
constexpr Logon kAdm{"adm", kAdminPassword}, kAlice{"alice", "alice-pw1"},
    kDave{"dave", "dave-pw1"}, kGrace{"grace", "grace-pw1"};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<none>";
}

class ViewSignTest : public ManagerTest {
 protected:
  void SetUp() override {
    ManagerTest::SetUp();
    setenv("TMPDIR", temp_.Path().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TMPDIR");
    ManagerTest::TearDown();
  }

  // Stores content as the signature of column of nid, as an upload leaves it.
  void StoreSignature(int nid, const std::string& column, const std::string& name,
                      const std::string& content) {
    std::string hex;
    for (unsigned char c : content) {
      const char digits[] = "0123456789ABCDEF";
      hex += digits[c >> 4];
      hex += digits[c & 15];
    }
    WriteStore(storePath_, "insert or replace into SRV_FILE(CNAME, BDATA) values('" + name +
                               "', x'" + hex + "')");
    WriteStore(storePath_, "update UUSR set " + column + " = '" + name +
                               "' where NID = " + std::to_string(nid));
  }

  // Runs "XVIEWSIGN" with action inside the viewer; HRZCmd always answers 1.
  void View(std::function<void(DialogDriver&)> action) {
    module_.user().OnDialog(IDD_VIEWUSERSIGN, std::move(action));
    EXPECT_EQ(module_.Run("XVIEWSIGN"), 1);
  }

  std::vector<std::string> Opened() {
    std::vector<std::string> files;
    for (const auto& call : module_.user().ShellOpens()) {
      EXPECT_EQ(call.operation, "open");
      files.push_back(call.file);
    }
    return files;
  }

  std::string Temp(const std::string& name) const { return temp_.File(name); }
  static std::string Status(DialogDriver& d) {
    CWnd* area = d.Dialog().GetDlgItem(IDC_VIEWUSERSIGN_STATUS_AREA);
    return area != nullptr ? area->GetWindowText() : "<none>";
  }

  TempDir temp_;
};

long CountRequests(const StandInDriver& driver, std::uint32_t code) {
  const std::vector<hrzkrnd::Request> requests = driver.Requests();
  return std::count_if(requests.begin(), requests.end(),
                       [code](const hrzkrnd::Request& r) { return r.code == code; });
}

// Clicks the record's node in the viewer's tree; false when it is not there.
bool ClickInViewer(DialogDriver& d, int nid) {
  const int node = TreeNodeOf(d, IDC_VIEWUSERSIGN_TREE, nid);
  return node >= 0 && d.Select(IDC_VIEWUSERSIGN_VIEW, node);
}

TEST_P(ViewSignTest, ViewingRightsDecideWhatOpens) {
  struct Case {
    const char* what;
    const char* setup;  // SQL on the store before the logon, may be null
    const char* undo;   // SQL that takes the setup back
    Logon viewer;
    int target;
    int button;
    std::vector<std::string> messages;
    std::string opened;   // a name in the temporary folder; empty: nothing opened
    std::string content;  // how the opened file starts
  };
  const char* const noDept = "delete from UUSRBM where NCID = 314";
  const char* const graceBack = "insert into UUSRBM(NPID, NCID, CVWA) values(301, 314, 'T')";
  const char* const graceMay =
      "insert into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(314, 'XXXXXXXXXXXXM', "
      "zeroblob(52))";
  const char* const graceMayNot = "delete from SRV_PRIVILEGE where NID = 314";
  const Case cases[] = {
      {"the administrator, anyone's",
       nullptr,
       nullptr,
       kAdm,
       kAliceNid,
       IDOK,
       {},
       "BMPSG_308.bmp",
       "BM"},
      {"shared department with the privilege",
       nullptr,
       nullptr,
       kDave,
       kAliceNid,
       IDOK,
       {},
       "BMPSG_308.bmp",
       "BM"},
      {"own drawing",
       nullptr,
       nullptr,
       kDave,
       kDaveNid,
       IDC_VIEWUSERSIGN_DWG_SIGN,
       {},
       "DWGSG_311.dwg",
       "AC1018"},
      {"shared department without the privilege",
       nullptr,
       nullptr,
       kAlice,
       kDaveNid,
       IDC_VIEWUSERSIGN_DWG_SIGN,
       {"dlg_viewusersign.no pvg"},
       "",
       ""},
      {"another department, with the privilege",
       graceMay,
       graceMayNot,
       kGrace,
       kAliceNid,
       IDOK,
       {"dlg_viewusersign.no pvg"},
       "",
       ""},
      {"a department entry",
       nullptr,
       nullptr,
       kDave,
       kEngNid,
       IDOK,
       {"dlg_viewusersign.only_choose_user"},
       "",
       ""},
      {"a role entry has no signature",
       nullptr,
       nullptr,
       kAdm,
       kReviewNid,
       IDOK,
       {"dlg_viewusersign.user no sign"},
       "",
       ""},
      {"own, without any signature stored",
       nullptr,
       nullptr,
       kAlice,
       kAliceNid,
       IDC_VIEWUSERSIGN_DWG_SIGN,
       {"dlg_viewusersign.user no sign"},
       "",
       ""},
      {"a viewer in no department",
       noDept,
       graceBack,
       kGrace,
       kAliceNid,
       IDOK,
       {"dlg_viewusersign.user no dept", "dlg_viewusersign.no pvg"},
       "",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.setup != nullptr) WriteStore(storePath_, c.setup);
    StartAs(c.viewer.code, c.viewer.password);
    const std::size_t messagesBefore = Messages().size();
    const std::size_t opensBefore = Opened().size();
    const std::size_t boxesBefore = module_.user().MessageBoxes().size();
    StandInDriver driver;
    View([&](DialogDriver& d) {
      ASSERT_TRUE(ClickInViewer(d, c.target));
      ASSERT_TRUE(d.Click(c.button));
      EXPECT_TRUE(d.Dialog().IsRunning()) << "the viewer stays open";
      ASSERT_TRUE(d.Click(IDCANCEL));
    });
    const std::vector<std::string> messages = Messages();
    EXPECT_EQ(std::vector<std::string>(messages.begin() + messagesBefore, messages.end()),
              c.messages);
    const auto& boxes = module_.user().MessageBoxes();
    for (std::size_t i = boxesBefore; i < boxes.size(); ++i) {
      EXPECT_EQ(boxes[i].caption, "dlg_viewusersign.mb_cap");
      EXPECT_EQ(boxes[i].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
      EXPECT_NE(boxes[i].owner, nullptr) << "owned by the viewer";
    }
    const std::vector<std::string> opened = Opened();
    const std::vector<std::string> openedNow(opened.begin() + opensBefore, opened.end());
    if (c.opened.empty()) {
      EXPECT_TRUE(openedNow.empty());
    } else {
      EXPECT_EQ(openedNow, std::vector<std::string>{Temp(c.opened)});
      EXPECT_EQ(ReadFile(Temp(c.opened)).rfind(c.content, 0), 0u);
      std::remove(Temp(c.opened).c_str());
    }
    // A fetch runs registered with the driver and unregisters after; a refusal fetches nothing.
    const bool fetched = !c.opened.empty() ||
                         c.messages == std::vector<std::string>{"dlg_viewusersign.user no sign"};
    EXPECT_EQ(CountRequests(driver, hrz::krn::kRegister), fetched ? 1 : 0);
    EXPECT_EQ(CountRequests(driver, hrz::krn::kUnregisterRemove), fetched ? 1 : 0);
    if (c.undo != nullptr) WriteStore(storePath_, c.undo);
  }
}

// A user who sits nowhere in the organisation still opens the own signature, found by a
// search; the grid's rows are what the view buttons then use.
TEST_P(ViewSignTest, OwnSignatureNeedsNoDepartmentAndSearchFindsIt) {
  WriteStore(storePath_, "delete from UUSRBM where NCID = 314");
  StoreSignature(kGraceNid, "CBMPSG", "sign/314/CBMPSG.bmp", "BMgrace");
  StartAs(kGrace.code, kGrace.password);
  View([&](DialogDriver& d) {
    EXPECT_EQ(Status(d), "dlg_viewusersign.on choose user");
    CWnd* userTree = d.Dialog().GetDlgItem(IDC_VIEWUSERSIGN_USER_TREE);
    CWnd* grid = d.Dialog().GetDlgItem(IDC_VIEWUSERSIGN_GRID);
    ASSERT_TRUE(userTree != nullptr && grid != nullptr);
    EXPECT_FALSE(userTree->IsWindowVisible());
    // A blank search leaves the tree.
    ASSERT_TRUE(d.SetText(IDC_VIEWUSERSIGN_SEARCH_TEXT, " \t "));
    ASSERT_TRUE(d.Click(IDC_VIEWUSERSIGN_SEARCH));
    EXPECT_FALSE(grid->IsWindowVisible());
    // Enter in the search edit searches instead of viewing.
    ASSERT_TRUE(d.SetText(IDC_VIEWUSERSIGN_SEARCH_TEXT, "grace"));
    ASSERT_TRUE(d.PressKey(IDC_VIEWUSERSIGN_SEARCH_TEXT, VK_RETURN));
    EXPECT_TRUE(module_.user().ShellOpens().empty());
    EXPECT_TRUE(grid->IsWindowVisible());
    EXPECT_TRUE(userTree->IsWindowVisible());
    auto* found = dynamic_cast<XPrdFindGrid*>(grid);
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(found->GetRows(), 2) << "one user found";
    ASSERT_TRUE(d.Select(IDC_VIEWUSERSIGN_VIEW, 1));
    EXPECT_EQ(Status(d), "dlg_viewusersign.chk_user_signgrace / Grace Green");
    ASSERT_TRUE(d.Click(IDOK));
    // UserTree goes back to the tree and hides itself.
    ASSERT_TRUE(d.Click(IDC_VIEWUSERSIGN_USER_TREE));
    EXPECT_FALSE(grid->IsWindowVisible());
    EXPECT_FALSE(userTree->IsWindowVisible());
    ASSERT_TRUE(d.Click(IDCANCEL));
  });
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Opened(), std::vector<std::string>{Temp("BMPSG_314.bmp")});
  EXPECT_EQ(ReadFile(Temp("BMPSG_314.bmp")), "BMgrace");
}

// Entries that are not plain users say so on the status line; the signed-in user is focused
// at the start.
TEST_P(ViewSignTest, StatusLineFollowsTheFocusedEntry) {
  StartAs(kDave.code, kDave.password);
  View([&](DialogDriver& d) {
    auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_VIEWUSERSIGN_TREE));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->GetBITM_NID(tree->GetFocusNode()), kDaveNid) << "the viewer is focused";
    struct Step {
      int nid;
      std::string status;
    } steps[] = {
        {kAliceNid, "dlg_viewusersign.chk_user_signalice / Alice Archer"},
        {kEngNid, "dlg_viewusersign.only_choose_user"},
        {310, "dlg_viewusersign.only_choose_user"},  // carol, of kind KQUSR
    };
    for (const Step& s : steps) {
      ASSERT_TRUE(ClickInViewer(d, s.nid)) << s.nid;
      EXPECT_EQ(Status(d), s.status);
    }
    ASSERT_TRUE(d.Click(IDCANCEL));
  });
}

// Quality Assurance also under Engineering: dave and bob then sit under two copies of it;
// their places are compared node by node, and sharing a copy is enough.
TEST_P(ViewSignTest, UsersUnderTwoCopiesOfADepartmentShareIt) {
  WriteStore(storePath_,
             "insert into UUSRBM(NPID, NCID, CVWA) values(301, 305, 'T'), (305, 309, 'T')");
  StoreSignature(kBobNid, "CBMPSG", "sign/309/CBMPSG.bmp", "BMbob");
  StartAs(kDave.code, kDave.password);
  View([&](DialogDriver& d) {
    ASSERT_TRUE(ClickInViewer(d, kBobNid));
    // A blank search changes nothing: the view keeps using the tree's focused node.
    ASSERT_TRUE(d.SetText(IDC_VIEWUSERSIGN_SEARCH_TEXT, "  "));
    ASSERT_TRUE(d.Click(IDC_VIEWUSERSIGN_SEARCH));
    ASSERT_TRUE(d.Click(IDOK));
    ASSERT_TRUE(d.Click(IDCANCEL));
  });
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Opened(), std::vector<std::string>{Temp("BMPSG_309.bmp")});
}

// A stored package is fetched as "xprtmp.xzp" and unpacked; the shell opens what it held.
TEST_P(ViewSignTest, APackagedSignatureIsUnpackedBeforeItOpens) {
  TempDir source;
  const std::string drawing = source.File("bob-sign.dwg");
  const std::string content(5000, 'd');
  std::ofstream(drawing, std::ios::binary) << content;
  const std::string package = source.File("bob.xzp");
  ASSERT_EQ(XPrdObjCtrl::PutFile(drawing.c_str(), package.c_str()), 1);
  StoreSignature(kBobNid, "CDWGSG", "sign/309/CDWGSG.xzp", ReadFile(package));
  StartAsAdmin();
  StandInDriver driver;
  View([&](DialogDriver& d) {
    ASSERT_TRUE(ClickInViewer(d, kBobNid));
    ASSERT_TRUE(d.Click(IDC_VIEWUSERSIGN_DWG_SIGN));
    ASSERT_TRUE(d.Click(IDCANCEL));
  });
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Opened(), std::vector<std::string>{Temp("bob-sign.dwg")});
  EXPECT_EQ(ReadFile(Temp("bob-sign.dwg")), content);
  EXPECT_EQ(ReadFile(Temp("xprtmp.xzp")), ReadFile(package));
  EXPECT_EQ(CountRequests(driver, hrz::krn::kRegister), 1);
  EXPECT_EQ(CountRequests(driver, hrz::krn::kUnregisterRemove), 1);
}

INSTANTIATE_TEST_SUITE_P(Store, ViewSignTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
