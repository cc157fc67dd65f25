#include "privileges/addfnpvg_dlg.h"

#include <cstdint>

#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "privileges/pvg_prompts.h"
#include "resources/dialogs/addfnpvg_ids.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

constexpr std::size_t kCommandMaxChars = 127;
constexpr std::size_t kCodeMaxChars = 63;
constexpr std::size_t kTypeMaxChars = 63;
constexpr std::size_t kDescMaxChars = 127;
constexpr int kScopeCapacity = 128;
constexpr int kScopeCurrent = 1;
constexpr char kCommandType[] = "Menu Toolbar Command";

// The first column of the first row as a number of 1 or more; 0 when there is none.
int PositiveValue(tagXCliDB* db, const char* sql) {
  XCliGenRS rs(db);
  int value = 0;
  if (!rs.Open(1, sql) || rs.IsEOF() || !rs.GetFieldValue(0, XCLI_TYPE_INT32, &value, 4)) return 0;
  return value >= 1 ? value : 0;
}

std::string Kept(const char* text, std::size_t maxChars) {
  return std::string(FirstCodePoints(text != nullptr ? text : "", maxChars));
}

}  // namespace

CAddFuncPvgDlg::CAddFuncPvgDlg(const char* command, const char* context)
    : CCoolDialog(IDD_ADDFNPVG),
      command_(Kept(command, kCommandMaxChars)),
      context_(Kept(context, kCommandMaxChars)) {
  MapCommand(IDOK, &CAddFuncPvgDlg::OnStore);
  MapNotify(IDC_ADDFNPVG_SCOPE, CBN_SELCHANGE, &CAddFuncPvgDlg::OnScopeChange);
}

BOOL CAddFuncPvgDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetDlgItemText(IDC_ADDFNPVG_CODE_LABEL, T("lbl_pvg_code"));
  SetDlgItemText(IDC_ADDFNPVG_SCOPE_LABEL, T("lbl_cmd_scope"));
  SetDlgItemText(IDC_ADDFNPVG_DESC_LABEL, T("lbl_pvg_desc"));
  SetDlgItemText(IDC_ADDFNPVG_TYPE_LABEL, T("lbl_pvg_type"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  if (auto* scope = dynamic_cast<CCoolComboBox*>(GetDlgItem(IDC_ADDFNPVG_SCOPE))) {
    scope->AddString(T("cmd scope all"));
    scope->AddString(T("cmd scope cur"));
    scope->SetCurSel(0);
  }
  if (command_.empty()) {
    SetWindowText(T("dlg_cap_add"));
    return TRUE;
  }
  SetWindowText(T("dlg_cap_add_menu"));
  for (int id : {IDC_ADDFNPVG_CODE_LABEL, IDC_ADDFNPVG_CODE}) {
    if (CWnd* control = GetDlgItem(id)) control->ShowWindow(SW_HIDE_WINDOW);
  }
  for (int id : {IDC_ADDFNPVG_SCOPE_LABEL, IDC_ADDFNPVG_SCOPE}) {
    if (CWnd* control = GetDlgItem(id)) control->ShowWindow(SW_SHOW_WINDOW);
  }
  if (auto* type = dynamic_cast<CCoolEdit*>(GetDlgItem(IDC_ADDFNPVG_TYPE))) {
    type->SetReadOnly(TRUE);
    type->SetWindowText(kCommandType);
  }
  SetDlgItemText(IDC_ADDFNPVG_CODE, CommandCode().c_str());
  return TRUE;
}

std::string CAddFuncPvgDlg::CommandCode() const {
  std::string scope;
  auto* list = dynamic_cast<CCoolComboBox*>(GetDlgItem(IDC_ADDFNPVG_SCOPE));
  const tagHRZLib* lib = Module().lib;
  if (list != nullptr && list->GetCurSel() == kScopeCurrent && lib != nullptr &&
      lib->callback != nullptr) {
    char name[kScopeCapacity] = {};
    lib->callback(1, 4, reinterpret_cast<std::intptr_t>(name), 0);
    name[kScopeCapacity - 1] = '\0';
    scope = name;
  }
  return "[" + scope + "].[" + command_ + "].[" + context_ + "]";
}

void CAddFuncPvgDlg::OnScopeChange() {
  if (!command_.empty()) SetDlgItemText(IDC_ADDFNPVG_CODE, CommandCode().c_str());
}

void CAddFuncPvgDlg::OnStore() {
  const std::string code(
      TrimBlanks(UpperAscii(FirstCodePoints(GetDlgItemText(IDC_ADDFNPVG_CODE), kCodeMaxChars))));
  const std::string type(
      TrimBlanks(FirstCodePoints(GetDlgItemText(IDC_ADDFNPVG_TYPE), kTypeMaxChars)));
  const std::string desc(
      TrimBlanks(FirstCodePoints(GetDlgItemText(IDC_ADDFNPVG_DESC), kDescMaxChars)));
  if (code.empty()) {
    ShowPvgMessage(this, T("code empty"));
    return;
  }
  if (desc.empty()) {
    ShowPvgMessage(this, T("desc empty"));
    return;
  }
  if (InsertEntry(code, type, desc)) EndDialog(IDOK);
}

bool CAddFuncPvgDlg::InsertEntry(const std::string& code, const std::string& type,
                                 const std::string& desc) {
  tagXCliDB* db = Module().db;
  {
    const std::string sql = std::string("select * from UUSRFN where ") +
                            xclisql_upper(db, nullptr) + "(CCODE) = " + SqlQuoted(code);
    XCliGenRS rs(db);
    if (!rs.Open(1, sql.c_str()) || !rs.IsEOF()) {
      ShowPvgMessage(this, T("code existed"));
      return false;
    }
  }
  const int maxNid = PositiveValue(db, "select max(NID) as MAXNID from UUSRFN");
  const int maxPosition =
      maxNid < 1 ? 0 : PositiveValue(db, "select max(NFNCHR) as MAXNID from UUSRFN");
  if (maxPosition < 1) {
    ShowPvgMessage(this, T("save error"));
    return false;
  }
  const std::string insert = "insert into UUSRFN (NID, CCODE, CNAME, NFNCHR, CDESC) values (" +
                             std::to_string(maxNid + 1) + ", " + SqlQuoted(code) + ", " +
                             SqlQuoted(type) + ", " + std::to_string(maxPosition + 1) + ", " +
                             SqlQuoted(desc) + ")";
  if (XCliDB_ExecuteSQL(db, insert.c_str(), 0, 0) < 1) {
    ShowPvgMessage(this, T("save error"));
    return false;
  }
  return true;
}

}  // namespace hrz
