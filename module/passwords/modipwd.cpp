#include "passwords/modipwd.h"

#include "entry/module_state.h"
#include "entry/requests.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "passwords/pwd_try_left.h"
#include "passwords/pwdrule.h"
#include "resources.h"
#include "resources/dialogs/chgpwd_ids.h"
#include "resources/hrzuser_ids.h"
#include "support/text_patterns.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_chgpwd");
SectionTexts OtherTexts;

constexpr int kOldPwdMaxChars = 127;
constexpr COLORREF kNoticeColor = RGB(255, 40, 40);
// Four bytes is the longest character: a new password always fits the sealed form.
static_assert(4 * kPwdMaxLength <= XCLI_PASSWORD_MAX_BYTES);

// The server's answer to a wrong password, with the tries left when it tells them.
std::string WrongPasswordMessage(std::string_view replyText) {
  std::string message = OtherTexts("dlg_userman", "MSG_LOGON_WRONG_PWD");
  const int triesLeft = PwdTriesLeft(replyText);
  if (triesLeft > 0) {
    message += FormatTemplate(OtherTexts("dlg_userman", "MSG_LOGON_PWD_TRY_LEFT"),
                              std::to_string(triesLeft));
  }
  return message;
}

}  // namespace

CChgPwdDlg::CChgPwdDlg() : CCoolDialog(IDD_CHGPWD) {
  MapCommand(IDOK, &CChgPwdDlg::OnBnClickedOk);
}

void CChgPwdDlg::SetNotice(const char* notice) {
  CopyBounded(m_notice, sizeof m_notice, notice != nullptr ? notice : "");
}

BOOL CChgPwdDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  HICON icon = AfxLoadIcon(IDI_CHGPWD);
  SetIcon(icon, TRUE);
  SetIcon(icon, FALSE);
  char userCode[128] = {};
  XCliDB_GetUNO(Module().db, userCode);
  SetWindowText(FormatTemplate(T("dlg_cap"), userCode).c_str());
  SetDlgItemText(IDOK, T("btn_ok"));
  SetDlgItemText(IDCANCEL, T("btn_close"));
  SetDlgItemText(IDC_CHGPWD_OLD_PWD_LABEL, T("lbl_old_pwd"));
  SetDlgItemText(IDC_CHGPWD_NEW_PWD_LABEL, T("lbl_new_pwd"));
  SetDlgItemText(IDC_CHGPWD_CONFIRM_PWD_LABEL, T("lbl_re_pwd"));
  if (auto* oldPwd = dynamic_cast<CCoolEdit*>(GetDlgItem(IDC_CHGPWD_OLD_PWD))) {
    oldPwd->LimitText(kOldPwdMaxChars);
  }
  return TRUE;
}

void CChgPwdDlg::DoDataExchange(CDataExchange* pDX) {
  CCoolDialog::DoDataExchange(pDX);
  DDX_Text(pDX, IDC_CHGPWD_NEW_PWD, m_newPwd);
  DDV_MaxChars(pDX, m_newPwd, kPwdMaxLength);
  DDX_Text(pDX, IDC_CHGPWD_CONFIRM_PWD, m_rePwd);
  DDV_MaxChars(pDX, m_rePwd, kPwdMaxLength);
}

void CChgPwdDlg::OnPaint(CDC& dc) {
  if (m_notice[0] == '\0') return;
  CWnd* area = GetDlgItem(IDC_CHGPWD_NOTICE_AREA);
  if (area == nullptr) return;
  CRect rect;
  area->GetWindowRect(&rect);
  ScreenToClient(&rect);
  CFont font;
  font.CreatePointFont(100, "MS San Serif");
  CFont* previous = dc.SelectObject(&font);
  dc.SetTextColor(kNoticeColor);
  dc.SetBkMode(TRANSPARENT);
  dc.DrawText(m_notice, rect, DT_LEFT | DT_WORDBREAK);
  dc.SelectObject(previous);
}

int CChgPwdDlg::Notify(const char* text, UINT type) {
  const std::string message = text;  // the caption lookup may reuse the text's buffer
  return MessageBoxA(GetSafeHwnd(), message.c_str(), T("mb_cap"), type);
}

bool CChgPwdDlg::VerifyOldPassword(const char* userCode) {
  const std::string oldPwd(FirstCodePoints(GetDlgItemText(IDC_CHGPWD_OLD_PWD), kOldPwdMaxChars));
  if (oldPwd.size() > static_cast<std::size_t>(XCLI_PASSWORD_MAX_BYTES)) {
    Notify(T("old pwd too long"));
    return false;
  }
  const VerifyReply reply = VerifyPasswordRequest(Module().db, userCode, oldPwd.c_str());
  if (reply.outcome == VerifyOutcome::kCorrect) return true;
  std::string message;
  if (reply.outcome == VerifyOutcome::kLocked) {
    const bool admin = EqualsNoCase(TrimBlanks(userCode), "adm");
    message = OtherTexts("dlg_lock_system", admin ? "adm locked" : "user locked");
  } else if (reply.outcome == VerifyOutcome::kWrong && !reply.replyText.empty()) {
    message = WrongPasswordMessage(reply.replyText);
  } else {
    message = OtherTexts("dlg_lock_system", "pwd incorrect");
  }
  Notify(message.c_str());
  return false;
}

bool CChgPwdDlg::NewPasswordAcceptable() {
  if (!UpdateData(TRUE)) return false;
  if (m_newPwd != m_rePwd) {
    Notify(T("re pwd not same"));
    return false;
  }
  if (CountCodePoints(m_newPwd) > static_cast<std::size_t>(kPwdMaxLength)) {
    Notify(T("overflow pwd"));
    return false;
  }
  if (m_newPwd.empty() && Notify(T("empty pwd"), MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
    return false;
  }
  return CheckPwdAgainstUserRule(GetSafeHwnd(), m_newPwd.c_str()) == 1;
}

void CChgPwdDlg::OnBnClickedOk() {
  char userCode[128] = {};
  XCliDB_GetUNO(Module().db, userCode);
  if (!VerifyOldPassword(userCode) || !NewPasswordAcceptable()) return;
  const SetPasswordOutcome outcome = SetPasswordRequest(Module().db, nullptr, m_newPwd.c_str());
  if (outcome == SetPasswordOutcome::kSet) {
    Notify(T("change_done"));
    EndDialog(IDOK);
    return;
  }
  Notify(T(outcome == SetPasswordOutcome::kNoRight ? "no_right" : "change_fail"));
}

}  // namespace hrz
