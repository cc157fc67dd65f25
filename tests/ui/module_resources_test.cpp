#include <gtest/gtest.h>

#include <QLineEdit>

#include <string>
#include <utility>
#include <vector>

#include "automation.h"
#include "cool_dialog.h"
#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "extension_module.h"
#include "resources.h"
#include "resources/dialogs/addfnpvg_ids.h"
#include "resources/dialogs/chgpwd_ids.h"
#include "resources/dialogs/decryptapps_ids.h"
#include "resources/dialogs/deptip_ids.h"
#include "resources/dialogs/dwgsign_ids.h"
#include "resources/dialogs/kqextapps_ids.h"
#include "resources/dialogs/lgnmac_ids.h"
#include "resources/dialogs/pwdrule_ids.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seldept_ids.h"
#include "resources/dialogs/seluser_ids.h"
#include "resources/dialogs/userinfo_ids.h"
#include "resources/dialogs/usrfunc_ids.h"
#include "resources/dialogs/usrstat_ids.h"
#include "resources/dialogs/viewusersign_ids.h"
#include "resources/dialogs/waifacfg_ids.h"
#include "resources/dialogs/whereuse_ids.h"
#include "resources/hrzuser_ids.h"
#include "resources/module_resources.h"
#include "support/module_host.h"
#include "support/qt_app.h"

namespace hrz {
namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0xabc0);

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
  for (const auto& control : dialog.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

// The module registers its embedded templates and icons at attach, under its own handle.
TEST(ModuleResources, AttachRegistersTheTemplatesAndDetachRemovesThem) {
  hrztest::App();
  ASSERT_TRUE(ModuleAttach(kInstance));
  {
    ModuleResourceScope scope;
    const DialogTemplate* chgpwd = FindDialogTemplate(IDD_CHGPWD);
    ASSERT_NE(chgpwd, nullptr);
    EXPECT_NE(AfxLoadIcon(IDI_CHGPWD), nullptr);
    for (int id : {IDD_ADDFNPVG, IDD_DECRYPTAPPS, IDD_DEPTIP, IDD_DWGSIGN, IDD_KQEXTAPPS,
                   IDD_LGNMAC, IDD_PWDRULE, IDD_ROLEDEPT, IDD_SELDEPT, IDD_SELUSER, IDD_USERINFO,
                   IDD_USRFUNC, IDD_USRSTAT, IDD_VIEWUSERSIGN, IDD_WAIFACFG, IDD_WHEREUSE}) {
      EXPECT_NE(FindDialogTemplate(id), nullptr) << id;
    }
    EXPECT_NE(FindBitmap(IDB_DWGSIGN_PLACEMENT), nullptr);
    EXPECT_EQ(FindDialogTemplate(4242), nullptr);

    ScriptedAutomation automation;
    automation.OnDialog(IDD_CHGPWD, [](DialogDriver& d) {
      for (int id : {IDC_CHGPWD_OLD_PWD, IDC_CHGPWD_NEW_PWD, IDC_CHGPWD_CONFIRM_PWD}) {
        auto* edit = qobject_cast<QLineEdit*>(d.Dialog().GetDlgItem(id)->GetWidget());
        ASSERT_NE(edit, nullptr) << id;
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password) << id;
        EXPECT_TRUE(d.SetText(id, "secret"));
      }
      EXPECT_FALSE(d.IsVisible(IDC_CHGPWD_NOTICE_AREA));
      for (int id : {IDC_CHGPWD_OLD_PWD_LABEL, IDC_CHGPWD_NEW_PWD_LABEL,
                     IDC_CHGPWD_CONFIRM_PWD_LABEL, IDOK, IDCANCEL}) {
        EXPECT_TRUE(d.IsVisible(id)) << id;
      }
      EXPECT_TRUE(d.Click(IDCANCEL));
    });
    AutomationScope installed(&automation);
    CCoolDialog dialog(IDD_CHGPWD);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(automation.Dialogs(), std::vector<int>{IDD_CHGPWD});
  }
  ModuleDetach();
  AfxSetResourceHandle(kInstance);
  EXPECT_EQ(FindDialogTemplate(IDD_CHGPWD), nullptr) << "gone with the module";
  AfxSetResourceHandle(nullptr);
  Module() = ModuleState{};
}

// The controls each template must have, by the names its dialog class uses.
TEST(ModuleResources, TheTemplatesHoldTheirDialogsControls) {
  struct Expected {
    int dialog;
    int width;  // 0: not checked
    int height;
    std::vector<std::pair<int, ControlKind>> controls;
  };
  const Expected expected[] = {
      {IDD_CHGPWD,
       231,
       123,
       {{IDC_CHGPWD_OLD_PWD, ControlKind::Edit},
        {IDC_CHGPWD_NEW_PWD, ControlKind::Edit},
        {IDC_CHGPWD_CONFIRM_PWD, ControlKind::Edit},
        {IDC_CHGPWD_OLD_PWD_LABEL, ControlKind::Static},
        {IDC_CHGPWD_NEW_PWD_LABEL, ControlKind::Static},
        {IDC_CHGPWD_CONFIRM_PWD_LABEL, ControlKind::Static},
        {IDC_CHGPWD_NOTICE_AREA, ControlKind::Static},
        {IDOK, ControlKind::Button},
        {IDCANCEL, ControlKind::Button}}},
      {IDD_PWDRULE,
       280,
       213,
       {{IDC_PWDRULE_MIN_LEN, ControlKind::ComboBox},
        {IDC_PWDRULE_MIN_LEN_LABEL, ControlKind::Static},
        {IDC_PWDRULE_DAYS, ControlKind::ComboBox},
        {IDC_PWDRULE_DAYS_LABEL, ControlKind::Static},
        {IDC_PWDRULE_OPTIONS_FRAME, ControlKind::Static},
        {IDC_PWDRULE_DEFAULT, ControlKind::Button},
        {IDOK, ControlKind::Button},
        {IDCANCEL, ControlKind::Button}}},
      {IDD_SELUSER,
       0,
       0,
       {{IDC_SELUSER_SEARCH_TEXT, ControlKind::Edit},
        {IDC_SELUSER_SEARCH, ControlKind::Button},
        {IDC_SELUSER_SWITCH, ControlKind::Button},
        {IDC_SELUSER_REFRESH, ControlKind::Button},
        {IDC_SELUSER_VIEW_FRAME, ControlKind::Static},
        {IDOK, ControlKind::Button},
        {IDCANCEL, ControlKind::Button}}},
      {IDD_SELDEPT,
       0,
       0,
       {{IDC_SELDEPT_MESSAGE, ControlKind::Static},
        {IDC_SELDEPT_TREE_FRAME, ControlKind::Static},
        {IDOK, ControlKind::Button},
        {IDCANCEL, ControlKind::Button}}},
      {IDD_ROLEDEPT,
       648,
       392,
       {{IDC_ROLEDEPT_SEARCH_TEXT, ControlKind::Edit},
        {IDC_ROLEDEPT_DELETE, ControlKind::Button},
        {IDC_ROLEDEPT_VIEW_FRAME, ControlKind::Static},
        {IDC_ROLEDEPT_RECORD_FRAME, ControlKind::Static}}},
  };
  hrztest::ModuleHost module;
  ModuleResourceScope scope;
  for (const Expected& e : expected) {
    const DialogTemplate* dialog = FindDialogTemplate(e.dialog);
    ASSERT_NE(dialog, nullptr) << e.dialog;
    if (e.width > 0) {
      EXPECT_EQ(dialog->rect.right - dialog->rect.left, e.width) << e.dialog;
      EXPECT_EQ(dialog->rect.bottom - dialog->rect.top, e.height) << e.dialog;
    }
    for (const auto& [id, kind] : e.controls) {
      const ControlTemplate* control = FindControl(*dialog, id);
      ASSERT_NE(control, nullptr) << e.dialog << "/" << id;
      EXPECT_EQ(control->kind, kind) << e.dialog << "/" << id;
    }
  }
  auto style = [](int dialog, int id) {
    return FindControl(*FindDialogTemplate(dialog), id)->style;
  };
  for (int id : {IDC_CHGPWD_OLD_PWD, IDC_CHGPWD_NEW_PWD, IDC_CHGPWD_CONFIRM_PWD}) {
    EXPECT_NE(style(IDD_CHGPWD, id) & ES_PASSWORD, 0u) << id;
  }
  // Editable drop-downs of the rule editor; hidden placeholders for trees and panels.
  EXPECT_EQ(style(IDD_PWDRULE, IDC_PWDRULE_MIN_LEN) & 0x3, CBS_DROPDOWN);
  EXPECT_EQ(style(IDD_PWDRULE, IDC_PWDRULE_DAYS) & 0x3, CBS_DROPDOWN);
  const std::pair<int, int> hidden[] = {
      {IDD_CHGPWD, IDC_CHGPWD_NOTICE_AREA},  {IDD_PWDRULE, IDC_PWDRULE_OPTIONS_FRAME},
      {IDD_SELUSER, IDC_SELUSER_VIEW_FRAME}, {IDD_SELDEPT, IDC_SELDEPT_TREE_FRAME},
      {IDD_USRFUNC, IDC_USRFUNC_MENU_PVG},   {IDD_USRFUNC, IDC_USRFUNC_NEW_PVG},
      {IDD_USERINFO, IDC_USERINFO_BMP_SIGN}, {IDD_USERINFO, IDC_USERINFO_DWG_SIGN},
  };
  for (const auto& [dialog, id] : hidden) {
    EXPECT_EQ(style(dialog, id) & WS_VISIBLE, 0u) << dialog << "/" << id << " starts hidden";
  }
  EXPECT_NE(style(IDD_DEPTIP, IDC_DEPTIP_LIST) & ES_MULTILINE, 0u);
  for (int id : {IDI_INHERITED_PVG, IDI_OWN_PVG}) {
    EXPECT_NE(FindIcon(id), nullptr) << "privilege mark " << id;
  }
  const ControlTemplate* placement = FindControl(*FindDialogTemplate(IDD_DWGSIGN), -1);
  ASSERT_NE(placement, nullptr);
  EXPECT_EQ(placement->text, std::to_string(IDB_DWGSIGN_PLACEMENT));
}

// A dialog class or a test may include several dialogs' headers: read together, they must
// not give one name two values.
TEST(ModuleResources, TheIdHeadersMayBeIncludedTogether) {
  ScriptFiles files = ScriptFilesOf(kModuleResourceFiles, kModuleResourceFileCount);
  std::string all;
  for (const auto& [name, text] : files) {
    if (name.ends_with("_ids.h")) all += "#include \"" + name + "\"\n";
  }
  EXPECT_NE(all.find("dialogs/chgpwd_ids.h"), std::string::npos) << "the headers are embedded";
  files.emplace("all.rc", all);
  ResourceScript script;
  std::string error;
  EXPECT_TRUE(ParseResourceScript(files, "all.rc", &script, &error)) << error;
}

}  // namespace
}  // namespace hrz
