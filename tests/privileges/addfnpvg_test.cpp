// Catalogue entries: typed in through the editor's New Pvg, and registered from a menu
// command that the editor asked the host to capture, through HRZCmd and through hrzhost's
// own command routing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "host_bridge.h"
#include "platform_ui.h"
#include "pvg_fixture.h"
#include "resources/dialogs/addfnpvg_ids.h"
#include "resources/dialogs/usrfunc_ids.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

class CatalogueEntryTest : public PrivilegeTest {
 protected:
  // The catalogue's rows as "NID|CCODE|CNAME|NFNCHR|CDESC" after the sample's 13.
  std::vector<std::string> AddedEntries() {
    return StoreTexts(
        "select NID || '|' || CCODE || '|' || CNAME || '|' || NFNCHR || '|' || CDESC from "
        "UUSRFN where NID > 13 order by NID");
  }
  // Arms the capture through the editor's Menu Pvg button, as the administrator.
  void ArmCapture() {
    module_.user().AnswerNextMessageBox(IDOK);  // "msg add menu pvg"
    RunEditor("XUSRFUNC", [](DialogDriver& d) {
      ASSERT_TRUE(d.IsVisible(IDC_USRFUNC_MENU_PVG));
      ASSERT_TRUE(d.Click(IDC_USRFUNC_MENU_PVG));
      EXPECT_FALSE(d.Dialog().IsRunning()) << "the editor closes for the user to reach the menu";
    });
  }
};

TEST_P(CatalogueEntryTest, TheNextCommandIsRegisteredWithItsScopeAndTheOneAfterRuns) {
  StartAsAdmin();
  module_.SetScopeName("hrzhost");
  ArmCapture();
  EXPECT_EQ(module_.CaptureRequests(),
            std::vector<std::intptr_t>{reinterpret_cast<std::intptr_t>(&HRZCmd)});
  EXPECT_EQ(hrz::Module().captureFlag, 1);
  module_.user().OnDialog(IDD_ADDFNPVG, [](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "dlg_userfuncpvg.dlg_cap_add_menu");
    EXPECT_FALSE(d.IsVisible(IDC_ADDFNPVG_CODE));
    EXPECT_FALSE(d.IsVisible(IDC_ADDFNPVG_CODE_LABEL));
    EXPECT_TRUE(d.IsVisible(IDC_ADDFNPVG_SCOPE_LABEL));
    EXPECT_EQ(d.Text(IDC_ADDFNPVG_TYPE), "Menu Toolbar Command");
    EXPECT_FALSE(d.Paste(IDC_ADDFNPVG_TYPE, "Other")) << "read-only";
    EXPECT_EQ(d.Text(IDC_ADDFNPVG_CODE), "[].[HOSTABOUT].[Menu: About hrzhost]");
    ASSERT_TRUE(d.Select(IDC_ADDFNPVG_SCOPE, 1));
    EXPECT_EQ(d.Text(IDC_ADDFNPVG_CODE), "[hrzhost].[HOSTABOUT].[Menu: About hrzhost]");
    ASSERT_TRUE(d.SetText(IDC_ADDFNPVG_DESC, "Show the about box"));
    ASSERT_TRUE(d.Click(IDOK));
  });
  char out[512] = "Menu: About hrzhost";
  EXPECT_EQ(module_.Run("HOSTABOUT", out), 1);
  EXPECT_EQ(hrz::Module().captureFlag, 0);
  EXPECT_EQ(AddedEntries(),
            std::vector<std::string>{"14|[HRZHOST].[HOSTABOUT].[MENU: ABOUT HRZHOST]|Menu "
                                     "Toolbar Command|14|Show the about box"});
  RunEditor("XUSRFUNC", [](DialogDriver& d) {
    EXPECT_GE(RowOf(d, "[HRZHOST].[HOSTABOUT].[MENU: ABOUT HRZHOST]"), 1);
  });
  EXPECT_EQ(module_.user().Dialogs(), (std::vector<int>{IDD_USRFUNC, IDD_ADDFNPVG, IDD_USRFUNC}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_userfuncpvg.msg add menu pvg"});
}

TEST_P(CatalogueEntryTest, TheEditorsOwnCommandIsNeverRegistered) {
  StartAsAdmin();
  ArmCapture();
  EXPECT_EQ(module_.Run("xUsrFunc"), 1);
  EXPECT_EQ(Messages(), (std::vector<std::string>{"dlg_userfuncpvg.msg add menu pvg",
                                                  "dlg_userfuncpvg.add usr func pvg"}));
  EXPECT_EQ(module_.user().Dialogs(), std::vector<int>{IDD_USRFUNC}) << "nothing opened";
  EXPECT_TRUE(AddedEntries().empty());
  EXPECT_EQ(hrz::Module().captureFlag, 0) << "the capture was spent";
}

TEST_P(CatalogueEntryTest, CaptureNeedsTheHostsCallbackAndItsConsent) {
  db_ = LogonAs("adm", kAdminPassword);
  ASSERT_EQ(module_.Initialise(db_.get(), false), 1);  // no host record
  module_.user().AnswerNextMessageBox(IDCANCEL);
  module_.user().AnswerNextMessageBox(IDOK);
  RunEditor("XUSRFUNC", [](DialogDriver& d) {
    ASSERT_TRUE(d.Click(IDC_USRFUNC_MENU_PVG));  // cancelled
    ASSERT_TRUE(d.Click(IDC_USRFUNC_MENU_PVG));
    EXPECT_TRUE(d.Dialog().IsRunning());
  });
  EXPECT_EQ(Messages(), (std::vector<std::string>{"dlg_userfuncpvg.msg add menu pvg",
                                                  "dlg_userfuncpvg.msg add menu pvg",
                                                  "dlg_userfuncpvg.error occur"}));
  EXPECT_EQ(hrz::Module().captureFlag, 0);
}

// Entries typed in through New Pvg: each refusal keeps the dialog open with what was typed.
TEST_P(CatalogueEntryTest, TypedEntriesAreCheckedThenTakeTheNextNidAndPosition) {
  struct Case {
    std::string code;
    const char* desc;
    const char* refusal;  // null: stored
  };
  const std::string longCode(70, 'q');
  const Case cases[] = {
      {"  newcode ", "A new privilege", nullptr},
      {"uusr", "Taken in another case", "dlg_userfuncpvg.code existed"},
      {" \t ", "No code", "dlg_userfuncpvg.code empty"},
      {"SECOND", "  ", "dlg_userfuncpvg.desc empty"},
      {longCode, "Cut to fit", nullptr},
  };
  StartAsAdmin();
  RunEditor("XUSRFUNC", [&](DialogDriver& d) {
    for (const Case& c : cases) {
      module_.user().OnDialog(IDD_ADDFNPVG, [&](DialogDriver& add) {
        EXPECT_EQ(add.Caption(), "dlg_userfuncpvg.dlg_cap_add");
        EXPECT_FALSE(add.IsVisible(IDC_ADDFNPVG_SCOPE));
        ASSERT_TRUE(add.SetText(IDC_ADDFNPVG_CODE, c.code));
        ASSERT_TRUE(add.SetText(IDC_ADDFNPVG_DESC, c.desc));
        ASSERT_TRUE(add.SetText(IDC_ADDFNPVG_TYPE, "Custom"));
        ASSERT_TRUE(add.Click(IDOK));
        EXPECT_EQ(add.Dialog().IsRunning(), c.refusal != nullptr) << c.code;
        EXPECT_EQ(add.Text(IDC_ADDFNPVG_DESC), c.desc) << "kept";
      });
      const std::size_t before = Messages().size();
      ASSERT_TRUE(d.Click(IDC_USRFUNC_NEW_PVG));
      EXPECT_EQ(MessagesSince(before),
                c.refusal ? std::vector<std::string>{c.refusal} : std::vector<std::string>{})
          << c.code;
    }
    EXPECT_GE(RowOf(d, "NEWCODE"), 1) << "the grid reads the catalogue again";
  });
  EXPECT_EQ(AddedEntries(),
            (std::vector<std::string>{"14|NEWCODE|Custom|14|A new privilege",
                                      "15|" + std::string(63, 'Q') + "|Custom|15|Cut to fit"}));
}

// The next identifier and position come from the catalogue; none, or a position beyond
// what a string holds (which the server refuses), stores nothing.
TEST_P(CatalogueEntryTest, AnEntryWithoutAUsablePlaceIsASaveError) {
  const char* setups[] = {"delete from UUSRFN", "update UUSRFN set NFNCHR = 511 where NID = 12"};
  StartAsAdmin();
  for (const char* setup : setups) {
    WriteStore(storePath_, setup);
    const std::size_t before = Messages().size();
    module_.user().OnDialog(IDD_ADDFNPVG, [](DialogDriver& add) {
      ASSERT_TRUE(add.SetText(IDC_ADDFNPVG_CODE, "LATE"));
      ASSERT_TRUE(add.SetText(IDC_ADDFNPVG_DESC, "Comes too late"));
      ASSERT_TRUE(add.Click(IDOK));
      EXPECT_TRUE(add.Dialog().IsRunning());
    });
    RunEditor("XUSRFUNC", [](DialogDriver& d) { ASSERT_TRUE(d.Click(IDC_USRFUNC_NEW_PVG)); });
    EXPECT_EQ(MessagesSince(before), std::vector<std::string>{"dlg_userfuncpvg.save error"})
        << setup;
    EXPECT_TRUE(AddedEntries().empty()) << setup;
  }
}

// The whole road through hrzhost's routing: the editor arms the capture through the host's
// callback, the host sends its next menu command to HRZCmd, the entry is registered.
TEST_P(CatalogueEntryTest, AHostCommandIsCapturedEndToEnd) {
  db_ = LogonAs("adm", kAdminPassword);
  hrzhost::HostBridge bridge;
  bridge.Attach(HRZCmd, db_.get(), nullptr);
  module_.user().AnswerNextMessageBox(IDOK);
  module_.user().OnDialog(IDD_USRFUNC,
                          [](DialogDriver& d) { ASSERT_TRUE(d.Click(IDC_USRFUNC_MENU_PVG)); });
  bridge.Run(*hrzhost::FindHostCommand("XUSRFUNC"), nullptr);
  ASSERT_TRUE(bridge.CaptureArmed());
  module_.user().OnDialog(IDD_ADDFNPVG, [](DialogDriver& d) {
    EXPECT_EQ(d.Selection(IDC_ADDFNPVG_SCOPE), 0) << "every scope";
    ASSERT_TRUE(d.SetText(IDC_ADDFNPVG_DESC, "About hrzhost"));
    ASSERT_TRUE(d.Click(IDOK));
  });
  int aboutRuns = 0;
  const hrzhost::HostBridge::Outcome outcome =
      bridge.Run(*hrzhost::FindHostCommand("HOSTABOUT"), [&] { ++aboutRuns; });
  EXPECT_TRUE(outcome.captured);
  EXPECT_EQ(aboutRuns, 0);
  EXPECT_EQ(AddedEntries(), std::vector<std::string>{"14|[].[HOSTABOUT].[MENU: ABOUT HRZHOST]|Menu "
                                                     "Toolbar Command|14|About hrzhost"});
  bridge.Run(*hrzhost::FindHostCommand("HOSTABOUT"), [&] { ++aboutRuns; });
  EXPECT_EQ(aboutRuns, 1);
}

INSTANTIATE_TEST_SUITE_P(Store, CatalogueEntryTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
                         ViaName);

}  // namespace
}  // namespace hrztest
