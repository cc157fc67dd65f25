// The decrypt applications dialog driven as the privilege editor runs it: the applications
// checked in the tree of the installed policy are stored in the user's CDECFLWAPPS, an empty
// choice only after the question, and nothing when the list cannot be stored whole.
#include "endpoint/decrypt_apps_dlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "entry/module_state.h"
#include "hrzcommon/cfg_file.h"
#include "hrzcommon/text.h"
#include "org/org_fixture.h"
#include "platform_ui.h"
#include "resources/dialogs/decryptapps_ids.h"
#include "xtree.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kTree = IDC_DECRYPTAPPS_VIEW;
constexpr const char* kUnchanged = "keep.exe";

class DecryptAppsTest : public ManagerTest {
 protected:
  void SetUp() override {
    ManagerTest::SetUp();
    ::setenv("TMPDIR", temp_.Path().c_str(), 1);
    WriteStore(storePath_, std::string("update UUSR set CDECFLWAPPS = '") + kUnchanged +
                               "' where NID = " + std::to_string(kBobNid));
  }
  void TearDown() override {
    ::unsetenv("TMPDIR");
    ManagerTest::TearDown();
  }

  // Runs the dialog for bob with action; its result, and the list it gives back.
  INT_PTR Run(std::function<void(DialogDriver&)> action, std::string* result = nullptr) {
    module_.user().OnDialog(IDD_DECRYPTAPPS, std::move(action));
    hrz::ModuleResourceScope resources;
    hrz::CDecryptAppsDlg dialog;
    dialog.policyModuleFile = moduleFile_;
    dialog.SetUserNid(kBobNid);
    const INT_PTR answer = dialog.DoModal();
    if (result != nullptr) *result = dialog.ResultText();
    return answer;
  }

  std::string Stored() {
    return Query("select coalesce(CDECFLWAPPS, '<null>') from UUSR where NID = " +
                 std::to_string(kBobNid));
  }

  static bool Check(DialogDriver& d, const std::string& app) {
    const int node = d.FindItem(kTree, app);
    return node >= 0 && d.ClickPart(kTree, node, XTREE_PART_CHECK);
  }

  TempDir temp_;
  std::string moduleFile_ = HRZ_MODULE_FILE;  // the sample policy lies beside it
};

TEST_P(DecryptAppsTest, StoresTheCheckedApplicationsInTreeOrder) {
  StartAsAdmin();
  std::string result;
  const INT_PTR answer = Run(
      [](DialogDriver& d) {
        EXPECT_EQ(d.Caption(), "dlg_userfuncpvg.btn_decrypt_apps");
        EXPECT_EQ(d.Text(IDC_DECRYPTAPPS_NOTE), "dlg_userfuncpvg.no pvg limit");
        EXPECT_EQ(d.Text(IDOK), "dlg_decrypt_license.btn_ok");
        EXPECT_EQ(d.Text(IDCANCEL), "dlg_decrypt_license.btn_cancel");
        for (const char* app : {"Drawing editor", "Text editor", "Notes", "Format converter"}) {
          EXPECT_EQ(d.ItemCheck(kTree, d.FindItem(kTree, app)), 0) << app << " starts cleared";
        }
        // The Office category comes before CAD: its first application is first by name.
        ASSERT_TRUE(Check(d, "Drawing editor"));
        ASSERT_TRUE(Check(d, "Text editor"));
        ASSERT_TRUE(d.Click(IDOK));
      },
      &result);
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(result, "textedit.exe, drawpad.exe");
  EXPECT_EQ(Stored(), result);
  EXPECT_TRUE(Messages().empty());
}

TEST_P(DecryptAppsTest, AnEmptyChoiceIsStoredOnlyAfterTheQuestion) {
  StartAsAdmin();
  module_.user().AnswerNextMessageBox(IDCANCEL);
  module_.user().AnswerNextMessageBox(IDOK);
  std::string result = "untouched";
  const INT_PTR answer = Run(
      [this](DialogDriver& d) {
        // Checked and cleared again: nothing is chosen.
        ASSERT_TRUE(Check(d, "Notes"));
        ASSERT_TRUE(Check(d, "Notes"));
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_TRUE(d.Dialog().IsRunning()) << "Cancel keeps the dialog open";
        EXPECT_EQ(Stored(), kUnchanged);
        ASSERT_TRUE(d.Click(IDOK));
      },
      &result);
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(result, "");
  EXPECT_EQ(Stored(), "");
  EXPECT_EQ(Messages(), (std::vector<std::string>{"dlg_userfuncpvg.sure clr apps",
                                                  "dlg_userfuncpvg.sure clr apps"}));
  for (const auto& box : module_.user().MessageBoxes()) {
    EXPECT_EQ(box.caption, "dlg_userfuncpvg.btn_decrypt_apps");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION));
  }
}

TEST_P(DecryptAppsTest, CancelStoresNothing) {
  StartAsAdmin();
  std::string result = "untouched";
  EXPECT_EQ(Run(
                [](DialogDriver& d) {
                  ASSERT_TRUE(Check(d, "Notes"));
                  ASSERT_TRUE(d.Click(IDCANCEL));
                },
                &result),
            IDCANCEL);
  EXPECT_EQ(result, "");
  EXPECT_EQ(Stored(), kUnchanged);
}

// A list over the column's 1023 characters would be cut inside a name: it is refused whole.
TEST_P(DecryptAppsTest, RefusesAListTooLongToStoreWhole) {
  StartAsAdmin();
  std::string policy = "//TEXT\n1, Kernel\n2, App\n";
  for (char c = 'a'; c <= 'e'; ++c) {
    policy += "2.1, " + std::string(200, c) + ".exe, App " + c + "|Long\n";
  }
  TempDir moduleFolder;
  moduleFile_ = moduleFolder.File("libhrzuser.so");
  ASSERT_TRUE(hrz::SaveCfgText(moduleFolder.File("kqkrn.xcf").c_str(), policy, false));
  std::string result;
  const INT_PTR answer = Run(
      [this](DialogDriver& d) {
        // Four names and their separators: 4 * 204 + 3 * 2 characters.
        for (const char* app : {"App a", "App b", "App c", "App d"}) ASSERT_TRUE(Check(d, app));
        ASSERT_TRUE(Check(d, "App e"));
        ASSERT_TRUE(d.Click(IDOK));
        EXPECT_TRUE(d.Dialog().IsRunning());
        EXPECT_EQ(Stored(), kUnchanged);
        ASSERT_TRUE(Check(d, "App e"));
        ASSERT_TRUE(d.Click(IDOK));
      },
      &result);
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(result.size(), 4u * 204 + 3 * 2);
  // Compared in the store: a read of the whole list would cut it.
  EXPECT_EQ(Query("select CDECFLWAPPS = " + hrz::SqlQuoted(result) +
                  " from UUSR where NID = " + std::to_string(kBobNid)),
            "1");
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_decrypt_license.apps too long"});
}

// The privilege editor opens for "UFUNCPVG" alone, but the column is a manager's ("UUSR"
// modify): the server refuses the update and the dialog says so instead of closing.
TEST_P(DecryptAppsTest, AnUpdateTheServerRefusesKeepsTheDialogOpen) {
  Grant(kGraceNid, "V");
  StartAs("grace", "grace-pw1");
  const INT_PTR answer = Run([](DialogDriver& d) {
    ASSERT_TRUE(Check(d, "Notes"));
    ASSERT_TRUE(d.Click(IDOK));
    EXPECT_TRUE(d.Dialog().IsRunning());
  });
  EXPECT_EQ(answer, IDCANCEL) << "closed by the automation, not by OK";
  EXPECT_EQ(Stored(), kUnchanged);
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_decrypt_license.save error"});
}

TEST_P(DecryptAppsTest, WithoutAPolicyFileTheTreeIsEmpty) {
  StartAsAdmin();
  TempDir empty;
  moduleFile_ = empty.File("libhrzuser.so");
  module_.user().AnswerNextMessageBox(IDOK);
  Run([](DialogDriver& d) {
    EXPECT_EQ(d.FindItem(kTree, "dlg_kqkrn.root node text"), -1);
    ASSERT_TRUE(d.Click(IDOK));
  });
  EXPECT_EQ(Stored(), "");
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userfuncpvg.sure clr apps"});
}

INSTANTIATE_TEST_SUITE_P(Store, DecryptAppsTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
