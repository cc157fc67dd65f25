#include "entry/commands.h"

#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "passwords/modipwd.h"
#include "wintypes.h"

namespace hrz {
namespace {

// A command whose dialog is not part of this build ends as a cancelled dialog would.
INT_PTR RunUnavailableDialog() {
  ModuleResourceScope resources;
  return IDCANCEL;
}

}  // namespace

int CmdChangePassword(const char*, char*) {
  ModuleResourceScope resources;
  CChgPwdDlg dialog;
  dialog.DoModal();
  return 1;
}

int CmdChangeExpiredPassword(const char*, char* out) {
  if (out != nullptr) out[0] = '\0';
  ModuleResourceScope resources;
  CChgPwdDlg dialog;
  SectionTexts texts;
  dialog.SetNotice(texts("dlg_chgpwd", "pwd expired"));
  if (dialog.DoModal() == IDOK && out != nullptr) CopyBounded(out, 3, "OK");
  return 1;
}

int CmdUserManager(const char*, char*) {
  RunUnavailableDialog();
  return 1;
}

int CmdUserStatistics(const char*, char*) {
  RunUnavailableDialog();
  return 1;
}

int CmdFunctionPrivileges(const char*, char*) {
  RunUnavailableDialog();
  return 1;
}

int CmdUserInfo(const char*, char*) {
  RunUnavailableDialog();
  return 1;
}

int CmdSelectUser(const char*, char*) {
  RunUnavailableDialog();
  return -1;
}

int CmdViewSignatures(const char*, char*) {
  RunUnavailableDialog();
  return 1;
}

int CmdAddFunctionPrivilege(const char*, char*) {
  RunUnavailableDialog();
  return 1;
}

}  // namespace hrz
