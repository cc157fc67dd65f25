// "XSELUSER": the user picker for other modules. The text the host passes is the kind list;
// the result is the chosen entry's NID, or -1.
#include "entry/commands.h"
#include "entry/module_state.h"
#include "org/seluser_dlg.h"

namespace hrz {

int CmdSelectUser(const char*, char* kinds) {
  ModuleResourceScope resources;
  CSelUserDlg dialog;
  if (!dialog.SetKindList(kinds)) return -1;  // a list that long names no kind reliably
  return dialog.DoModal() == IDOK ? dialog.GetSel() : -1;
}

}  // namespace hrz
