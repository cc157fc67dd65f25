#include "passwords/modipwd.h"

#include <initializer_list>
#include <utility>

#include "entry/module_state.h"
#include "entry/requests.h"
#include "entry/texts.h"
#include "passwords/pwd_try_left.h"
#include "passwords/pwdrule.h"
#include "resources.h"
#include "support/text.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_chgpwd");
SectionTexts OtherTexts;

constexpr int kOldPwdEdit = 1007;
constexpr int kNewPwdEdit = 1005;
constexpr int kRePwdEdit = 1004;
constexpr int kNoticeArea = 1031;
constexpr int kIcon = 130;
constexpr int kOldPwdMaxChars = 127;
constexpr COLORREF kNoticeColor = RGB(255, 40, 40);
// Four bytes is the longest character: a new password always fits the sealed form.
static_assert(4 * kPwdMaxLength <= XCLI_PASSWORD_MAX_BYTES);

// The server's answer to a wrong password, with the tries left when it tells them.
std::string WrongPasswordMessage(const char* replyText) {
  std::string message = OtherTexts("dlg_userman", "MSG_LOGON_WRONG_PWD");
  const int triesLeft = PwdTriesLeft(replyText);
  if (triesLeft > 0) {
    message += FormatTemplate(OtherTexts("dlg_userman", "MSG_LOGON_PWD_TRY_LEFT"),
                              std::to_string(triesLeft));
  }
  return message;
}

}  // namespace

CChgPwdDlg::CChgPwdDlg() : CCoolDialog(101) {
  MapCommand(IDOK, &CChgPwdDlg::OnBnClickedOk);
}

void CChgPwdDlg::SetNotice(const char* notice) {
  CopyBounded(m_notice, sizeof m_notice, notice != nullptr ? notice : "");
}

BOOL CChgPwdDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  HICON icon = AfxLoadIcon(kIcon);
  SetIcon(icon, TRUE);
  SetIcon(icon, FALSE);
  char userCode[128] = {};
  XCliDB_GetUNO(Module().db, userCode);
  SetWindowText(FormatTemplate(T("dlg_cap"), userCode).c_str());
  const std::pair<int, const char*> texts[] = {
      {IDOK, "btn_ok"},      {IDCANCEL, "btn_close"}, {1055, "lbl_old_pwd"},
      {1056, "lbl_new_pwd"}, {1057, "lbl_re_pwd"},
  };
  for (const auto& [id, key] : texts) SetDlgItemText(id, T(key));
  if (auto* oldPwd = dynamic_cast<CCoolEdit*>(GetDlgItem(kOldPwdEdit))) {
    oldPwd->LimitText(kOldPwdMaxChars);
  }
  return TRUE;
}

void CChgPwdDlg::DoDataExchange(CDataExchange* pDX) {
  CCoolDialog::DoDataExchange(pDX);
  DDX_Text(pDX, kNewPwdEdit, m_newPwd);
  DDV_MaxChars(pDX, m_newPwd, kPwdMaxLength);
  DDX_Text(pDX, kRePwdEdit, m_rePwd);
  DDV_MaxChars(pDX, m_rePwd, kPwdMaxLength);
}

void CChgPwdDlg::OnPaint(CDC& dc) {
  if (m_notice[0] == '\0') return;
  CWnd* area = GetDlgItem(kNoticeArea);
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
  const std::string oldPwd(FirstCodePoints(GetDlgItemText(kOldPwdEdit), kOldPwdMaxChars));
  if (oldPwd.size() > static_cast<std::size_t>(XCLI_PASSWORD_MAX_BYTES)) {
    Notify(T("old pwd too long"));
    return false;
  }
  int status = 0;
  char replyText[kVerifyReplyTextSize] = {};
  if (VerifyPasswordRequest(Module().db, userCode, oldPwd.c_str(), &status, replyText)) {
    return true;
  }
  std::string message;
  if (status == 34) {
    const bool admin = EqualsNoCase(TrimBlanks(userCode), "adm");
    message = OtherTexts("dlg_lock_system", admin ? "adm locked" : "user locked");
  } else if (status == 32 && replyText[0] != '\0') {
    message = WrongPasswordMessage(replyText);
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
  int status = 0;
  if (SetPasswordRequest(Module().db, nullptr, m_newPwd.c_str(), &status)) {
    Notify(T("change_done"));
    EndDialog(IDOK);
    return;
  }
  Notify(T(status == 3 ? "no_right" : "change_fail"));
}

}  // namespace hrz
