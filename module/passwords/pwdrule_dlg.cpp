#include "passwords/pwdrule_dlg.h"

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/protocol.h"
#include "hrzcommon/text.h"
#include "passwords/org_default_rule.h"
#include "passwords/pwdrule.h"
#include "platform_ui.h"
#include "resources/dialogs/pwdrule_ids.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_chgpwd");
SectionTexts OtherTexts;

using protocol::kChangeAtNextLogon;

constexpr int kBoxTextMax = 31;
constexpr int kMaxDays = 999;
constexpr const char* kMinLengths[] = {"0",  "5",  "6",  "7",  "8",  "9", "10",
                                       "11", "12", "13", "14", "15", "16"};
constexpr const char* kOptionNames[] = {"CHK_LGNCHGPWD", "CHK_PWDCAPS", "CHK_PWDNUM",
                                        "CHK_PWDSPECCHAR"};

std::string OptionPanelScript() {
  const std::string texts[] = {T("lgn chg pwd"), T("pwd inc caps"), T("pwd inc num"),
                               T("pwd inc spec")};
  std::string script = "1, object, pwd_rule_opts, pwd_rule_opts\r\n";
  for (int i = 0; i < 4; ++i) {
    script += std::string("1.1, control, check box, ") + kOptionNames[i] + "\r\n";
    script += "1.1.1, visible, true\r\n1.1.1, left left, 10\r\n";
    script += i == 0 ? std::string("1.1.1, top top, 10\r\n")
                     : std::string("1.1.1, top bottom, 20, ") + kOptionNames[i - 1] + "\r\n";
    script += "1.1.1, right right, -10\r\n1.1.1, height, 60\r\n";
    script += std::string("1.1.1, value, ") + texts[i] + "\r\n";
  }
  return script;
}

// A whole number from 0 to max as its plain decimal text; empty when the text is not one.
std::string NumberInRange(const std::string& text, long long max) {
  long long value = 0;
  if (!ParseWholeNumber(text, &value) || value < 0 || value > max) return {};
  return std::to_string(value);
}

}  // namespace

CPwdRuleDlg::CPwdRuleDlg() : CCoolDialog(IDD_PWDRULE) {
  MapCommand(IDOK, &CPwdRuleDlg::OnBnClickedOk);
  MapCommand(IDC_PWDRULE_DEFAULT, &CPwdRuleDlg::LoadDefault);
}

BOOL CPwdRuleDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap_pwdrule"));
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  SetDlgItemText(IDC_PWDRULE_DEFAULT, OtherTexts("normal_res", "btn_defval"));
  SetDlgItemText(IDC_PWDRULE_MIN_LEN_LABEL, T("pwd min len"));
  SetDlgItemText(IDC_PWDRULE_DAYS_LABEL, T("pwd chg days"));
  if (auto* lengths = dynamic_cast<CCoolComboBox*>(GetDlgItem(IDC_PWDRULE_MIN_LEN))) {
    for (const char* length : kMinLengths) lengths->AddString(length);
  }
  if (auto* lifetimes = dynamic_cast<CCoolComboBox*>(GetDlgItem(IDC_PWDRULE_DAYS))) {
    lifetimes->AddString(T("no limit"));
    for (int d = 10; d <= 120; d += 10) lifetimes->AddString(std::to_string(d).c_str());
  }
  BuildOptionPanel();
  ShowRule(rule);
  ShowDays(days);
  ShowLastChange(lastChange);
  if (EqualsNoCase(TrimBlanks(rule), "InitDefault")) LoadDefault();
  if (rootNid >= 1) CreateRootChecks();
  return TRUE;
}

void CPwdRuleDlg::BuildOptionPanel() {
  optionsBox_.CreateOver(WS_VISIBLE | WS_TABSTOP, this, IDC_PWDRULE_OPTIONS_FRAME,
                         IDC_PWDRULE_OPTIONS);
  RECT box{};
  optionsBox_.GetClientRect(&box);
  options_.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, box, &optionsBox_, IDC_PWDRULE_OPTIONS_FORM);
  options_.SetDB(Module().db);
  options_.LoadLayoutScript(OptionPanelScript().c_str());
  options_.Layout();
  optionsBox_.SetXCtrl(&options_);
}

bool CPwdRuleDlg::Option(const char* name) const {
  char text[8] = {};
  return options_.GetCtrlText(options_.GetCtrlCfgNode(name), text, sizeof text) &&
         std::string_view(text) == "1";
}

void CPwdRuleDlg::SetOption(const char* name, bool checked) {
  options_.SetCtrlText(options_.GetCtrlCfgNode(name), checked ? "1" : "0");
}

void CPwdRuleDlg::ShowRule(const std::string& shown) {
  const PwdRule parsed = ParsePwdRule(shown);
  SetDlgItemText(IDC_PWDRULE_MIN_LEN,
                 parsed.minLength > 0 ? std::to_string(parsed.minLength).c_str() : "");
  SetOption("CHK_PWDCAPS", parsed.bothCases);
  SetOption("CHK_PWDNUM", parsed.digit);
  SetOption("CHK_PWDSPECCHAR", parsed.special);
}

void CPwdRuleDlg::ShowDays(const std::string& shown) {
  long long value = 0;
  const std::string trimmed(TrimBlanks(shown));
  const bool limited = ParseWholeNumber(trimmed, &value) && value >= 1;
  SetDlgItemText(IDC_PWDRULE_DAYS, limited ? trimmed.c_str() : T("no limit"));
}

void CPwdRuleDlg::ShowLastChange(int value) {
  SetOption("CHK_LGNCHGPWD", value == kChangeAtNextLogon);
}

void CPwdRuleDlg::LoadDefault() {
  PwdRuleValues values;
  if (!ReadOrgDefaultPwdRule(Module().db, &values)) return;
  ShowRule(values.rule);
  ShowDays(values.days);
  long long last = 0;
  ShowLastChange(ParseWholeNumber(values.lastChange, &last) ? static_cast<int>(last) : 0);
}

void CPwdRuleDlg::CreateRootChecks() {
  if (CWnd* button = GetDlgItem(IDC_PWDRULE_DEFAULT)) button->EnableWindow(FALSE);
  RECT client{};
  GetClientRect(&client);
  const RECT oldBand{client.left + 40, client.bottom - 72, client.right - 40, client.bottom - 48};
  const RECT newBand{oldBand.left, oldBand.top - 30, oldBand.right, oldBand.bottom - 30};
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
  oldUsers_.Create(T("rule old user"), style, oldBand, this, IDC_PWDRULE_OLD_USERS);
  oldUsers_.SetCheck(BST_CHECKED);
  newUsers_.Create(T("rule new user"), style, newBand, this, IDC_PWDRULE_NEW_USERS);
  newUsers_.SetCheck(BST_CHECKED);
  newUsers_.EnableWindow(FALSE);
}

void CPwdRuleDlg::Notify(const char* text) {
  const std::string message = text;  // the caption lookup may reuse the text's buffer
  MessageBoxA(GetSafeHwnd(), message.c_str(), T("dlg_cap_pwdrule"), MB_OK | MB_ICONEXCLAMATION);
}

void CPwdRuleDlg::OnBnClickedOk() {
  std::string newRule = "L0";
  const std::string length(
      TrimBlanks(FirstCodePoints(GetDlgItemText(IDC_PWDRULE_MIN_LEN), kBoxTextMax)));
  if (!length.empty()) {
    // The plain number: "L+8" would read back as no minimum.
    const std::string number = NumberInRange(length, kPwdMaxLength);
    if (number.empty()) {
      Notify(T("overflow pwd"));
      return;
    }
    newRule = "L" + number;
  }
  std::string newDays = "0";
  const std::string lifetime(
      TrimBlanks(FirstCodePoints(GetDlgItemText(IDC_PWDRULE_DAYS), kBoxTextMax)));
  if (!lifetime.empty() && !EqualsNoCase(lifetime, T("no limit"))) {
    newDays = NumberInRange(lifetime, kMaxDays);
    if (newDays.empty()) {
      Notify(T("pwd days err"));
      return;
    }
  }
  if (Option("CHK_PWDCAPS")) newRule += "C";
  if (Option("CHK_PWDNUM")) newRule += "N";
  if (Option("CHK_PWDSPECCHAR")) newRule += "@";
  int newLastChange = lastChange;
  if (Option("CHK_LGNCHGPWD")) {
    newLastChange = kChangeAtNextLogon;
  } else if (lastChange == kChangeAtNextLogon) {
    // Without the server's day the mark stays: a zero would pass for a change long ago.
    const double now = XCliDB_GetServerTimeDouble(Module().db);
    if (now < 1) {
      Notify(T("change_fail"));
      return;
    }
    newLastChange = static_cast<int>(now);
  }
  if (rootNid >= 1 && oldUsers_.GetSafeHwnd() != nullptr && oldUsers_.GetCheck() == BST_CHECKED) {
    const std::string sql = "update UUSR set CPWDRULE = " + SqlQuoted(newRule) +
                            ", NPWDDAYS = " + newDays +
                            ", DMODIPWD = " + std::to_string(newLastChange);
    if (XCliDB_ExecuteSQL(Module().db, sql.c_str(), 0, 0) < 1) {
      Notify(T("change_fail"));
      return;
    }
  }
  rule = newRule;
  days = newDays;
  lastChange = newLastChange;
  EndDialog(IDOK);
}

}  // namespace hrz
