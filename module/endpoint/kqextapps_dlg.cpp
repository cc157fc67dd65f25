#include "endpoint/kqextapps_dlg.h"

#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "platform_ui.h"
#include "resources/dialogs/kqextapps_ids.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

constexpr int kListMaxChars = 1023;

}  // namespace

CKQExtAppsDlg::CKQExtAppsDlg(CWnd* parent) : CCoolDialog(IDD_KQEXTAPPS, parent) {}

BOOL CKQExtAppsDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("btn_add_apps"));
  SetDlgItemText(IDC_KQEXTAPPS_NOTE, T("lbl_note"));
  SetDlgItemText(IDC_KQEXTAPPS_LIST_LABEL, T("lbl_ext_add"));
  SetDlgItemText(IDC_KQEXTAPPS_LIMIT_NOTE, T("no pvg limit"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  if (auto* list = dynamic_cast<CCoolEdit*>(GetDlgItem(IDC_KQEXTAPPS_LIST))) {
    list->LimitText(kListMaxChars);
  }
  return TRUE;
}

void CKQExtAppsDlg::OnOK() {
  const std::string typed = GetDlgItemText(IDC_KQEXTAPPS_LIST);
  const std::string text(TrimBlanks(FirstCodePoints(typed, kListMaxChars)));
  if (text.empty()) {
    const std::string caption = T("btn_add_apps");
    if (ShowMessage(T("sure clr apps"), caption.c_str(), MB_OKCANCEL | MB_ICONEXCLAMATION) !=
        IDOK) {
      return;
    }
  }
  const std::string sql =
      "update UUSR set CDECFLWAPPS = " + SqlQuoted(text) + " where NID = " + std::to_string(nid_);
  if (XCliDB_ExecuteSQL(Module().db, sql.c_str(), 0, 0) < 1) {
    const std::string caption = T("mb_cap");
    ShowMessage(T("save error"), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  result_ = text;
  EndDialog(IDOK);
}

int CKQExtAppsDlg::ShowMessage(const char* text, const char* caption, UINT type) {
  const std::string message = text;
  return MessageBoxA(GetSafeHwnd(), message.c_str(), caption, type);
}

}  // namespace hrz
