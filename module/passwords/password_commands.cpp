// "XCHGPWD" and "XCHGEXPIREDPWD": the change-password dialog, with the expiry notice for
// the second.
#include "entry/commands.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "passwords/modipwd.h"
#include "wintypes.h"

namespace hrz {

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

}  // namespace hrz
