#include "pickers/dwgsign_dlg.h"

#include <algorithm>

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "entry/usrmancfg.h"
#include "file_dialog.h"
#include "hrzcommon/text.h"
#include "pickers/sign_upload.h"
#include "platform_ui.h"
#include "resources/dialogs/dwgsign_ids.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_upload_dwg_signature");

constexpr std::size_t kPathMaxChars = 259;
constexpr std::size_t kNumberMaxChars = 63;
constexpr char kDrawingFilter[] = "Dwg Files (*.dwg)|*.dwg|All Files (*.*)|*.*||";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::string> SignPositionLiteral(std::string_view typed) {
  const std::size_t digits = typed.find_first_not_of("-+ ");
  if (digits == std::string_view::npos) return std::nullopt;
  const std::string_view number = typed.substr(digits);
  // A second "." or no digit at all would reach the statement as broken SQL, and a run of
  // "-" as the start of an SQL comment: the number is written out afresh instead.
  if (!std::all_of(number.begin(), number.end(), [](char c) { return IsDigit(c) || c == '.'; }) ||
      std::count(number.begin(), number.end(), '.') > 1 ||
      std::none_of(number.begin(), number.end(), IsDigit)) {
    return std::nullopt;
  }
  const auto minuses = std::count(typed.begin(), typed.begin() + digits, '-');
  return (minuses % 2 == 1 ? "-" : "") + std::string(number);
}

CDwgSignDlg::CDwgSignDlg() : CCoolDialog(IDD_DWGSIGN) {
  MapCommand(IDC_DWGSIGN_BROWSE, &CDwgSignDlg::OnBrowse);
  MapCommand(IDOK, &CDwgSignDlg::OnOk);
}

BOOL CDwgSignDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  SetDlgItemText(IDC_DWGSIGN_FILE_LABEL, T("lbl_file"));
  SetDlgItemText(IDC_DWGSIGN_X_LABEL, T("lbl_x"));
  SetDlgItemText(IDC_DWGSIGN_Y_LABEL, T("lbl_y"));
  SetDlgItemText(IDC_DWGSIGN_H_LABEL, T("lbl_h"));
  return TRUE;
}

std::string CDwgSignDlg::EditText(int id, std::size_t maxChars) const {
  return std::string(TrimBlanks(FirstCodePoints(GetDlgItemText(id), maxChars)));
}

int CDwgSignDlg::ShowMessage(const char* text) {
  const std::string copy = text;
  return MessageBoxA(GetSafeHwnd(), copy.c_str(), T("mb_cap"), MB_OK | MB_ICONEXCLAMATION);
}

void CDwgSignDlg::OnBrowse() {
  CFileDialog files(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST, kDrawingFilter, this);
  if (files.DoModal() == IDOK) SetDlgItemText(IDC_DWGSIGN_FILE, files.GetPathName().c_str());
}

void CDwgSignDlg::OnOk() {
  const std::string path = EditText(IDC_DWGSIGN_FILE, kPathMaxChars);
  const auto x = SignPositionLiteral(EditText(IDC_DWGSIGN_X, kNumberMaxChars));
  const auto y = SignPositionLiteral(EditText(IDC_DWGSIGN_Y, kNumberMaxChars));
  const auto h = SignPositionLiteral(EditText(IDC_DWGSIGN_H, kNumberMaxChars));
  if (path.empty() || CfgFileSize(path.c_str()) < 1 || !x || !y || !h) {
    ShowMessage(T("invalid input"));
    return;
  }
  tagXCliDB* db = Module().db;
  const std::string place = "update UUSR set FDWGX = " + *x + ", FDWGY = " + *y +
                            ", FDWGH = " + *h +
                            " where NID = " + std::to_string(XCliGetCurrentUserNID(db));
  // The place stays written when the file does not reach the server: it is the user's to
  // correct by trying again.
  if (XCliDB_ExecuteSQL(db, place.c_str(), 0, 0) < 1 ||
      StoreUserSignFile("CDWGSG", path.c_str()) != 1) {
    ShowMessage(T("save error"));
    return;
  }
  ShowMessage(T("save done"));
  EndDialog(IDOK);
}

}  // namespace hrz
