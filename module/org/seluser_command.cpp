// "XSELUSER": the user picker for other modules. The text the host passes is the kind list;
// the result is the chosen entry's NID, or -1.
#include "entry/commands.h"
#include "entry/module_state.h"
#include "org/seluser_dlg.h"

namespace hrz {

int CmdSelectUser(const char*, char* kinds) {
  ModuleResourceScope resources;
  // A list that long could only be cut, and a cut list may name a kind nobody meant.
  if (!CSelUserDlg::IsKindListAccepted(kinds)) return -1;
  CSelUserDlg dialog;
  dialog.SetKindList(kinds);
  return dialog.DoModal() == IDOK ? dialog.GetSel() : -1;
}

}  // namespace hrz
