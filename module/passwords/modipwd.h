// The change-password dialog of "XCHGPWD" and "XCHGEXPIREDPWD": the old password is
// verified by the server, the new one tested against the user's rule and set by the server.
#pragma once

#include <string>

#include "cool_dialog.h"
#include "platform_ui.h"

namespace hrz {

class CChgPwdDlg : public CCoolDialog {
 public:
  CChgPwdDlg();

  // Painted in red above the buttons; empty unless set before DoModal (at most 127 bytes).
  void SetNotice(const char* notice);

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnPaint(CDC& dc) override;

 private:
  void OnBnClickedOk();
  // True when the server confirms the old password; otherwise its message has been shown.
  bool VerifyOldPassword(const char* userCode);
  // True when the new password may be sent; otherwise its message has been shown.
  bool NewPasswordAcceptable();
  // A message box of this dialog with caption "mb_cap"; returns the chosen button.
  int Notify(const char* text, UINT type = MB_OK | MB_ICONEXCLAMATION);

  char m_notice[128] = {};
  std::string m_newPwd;
  std::string m_rePwd;
};

}  // namespace hrz
