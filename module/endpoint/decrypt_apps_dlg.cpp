#include "endpoint/decrypt_apps_dlg.h"

#include "dialog_template.h"
#include "endpoint/kqkrn_file.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "platform.h"
#include "platform_ui.h"
#include "resources/dialogs/decryptapps_ids.h"
#include "support/pane_frame.h"
#include "support/text_patterns.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_decrypt_license");
UnitTexts PvgTexts("dlg_userfuncpvg");

// The longest list, in bytes, that the user's column takes from this dialog.
constexpr std::size_t kListMaxChars = 1023;

}  // namespace

CDecryptAppsDlg::CDecryptAppsDlg(CWnd* parent) : CCoolDialog(IDD_DECRYPTAPPS, parent) {
  MapCommand(IDOK, &CDecryptAppsDlg::OnOk);
}

std::string CDecryptAppsDlg::ModuleFile() const {
  if (!policyModuleFile.empty()) return policyModuleFile;
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(Module().instance, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path) : std::string();
}

BOOL CDecryptAppsDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(PvgTexts("btn_decrypt_apps"));
  SetDlgItemText(IDC_DECRYPTAPPS_NOTE, PvgTexts("no pvg limit"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  treeBox_.CreateOver(WS_VISIBLE, this, IDC_DECRYPTAPPS_TREE_FRAME, IDC_DECRYPTAPPS_VIEW);
  RECT inside{};
  treeBox_.GetClientRect(&inside);
  tree_.Create(0, inside, &treeBox_, IDC_DECRYPTAPPS_TREE);
  tree_.Prepare();
  treeBox_.SetXCtrl(&tree_);
  // A policy that cannot be read leaves the tree empty: nothing to choose, nothing lost.
  const std::string moduleFile = ModuleFile();
  if (!moduleFile.empty() && LoadKrnPolicy(moduleFile.c_str(), &policy_, nullptr)) {
    tree_.Build(policy_);
  }
  tree_.ShowWindow(SW_SHOW_WINDOW);
  return TRUE;
}

void CDecryptAppsDlg::OnOk() {
  const std::string apps = tree_.CheckedApps();
  const auto warn = [this](const std::string& text) {
    MessageBoxA(GetSafeHwnd(), text.c_str(), T("mb_cap"), MB_OK | MB_ICONEXCLAMATION);
  };
  // A cut list would end in part of a name, which names another program or none.
  if (apps.size() > kListMaxChars) {
    warn(FormatTemplate(T("apps too long"), std::to_string(kListMaxChars)));
    return;
  }
  if (apps.empty()) {
    const std::string question = PvgTexts("sure clr apps");
    if (MessageBoxA(GetSafeHwnd(), question.c_str(), PvgTexts("btn_decrypt_apps"),
                    MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
      return;
    }
  }
  const std::string sql = "update UUSR set CDECFLWAPPS = " + SqlQuoted(apps) +
                          " where NID = " + std::to_string(userNid_);
  // The caller shows the result as stored: a refused update must not look saved.
  if (XCliDB_ExecuteSQL(Module().db, sql.c_str(), 0, 0) < 1) {
    warn(T("save error"));
    return;
  }
  result_ = apps;
  EndDialog(IDOK);
}

void CDecryptAppsDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, treeBox_);
}

}  // namespace hrz
