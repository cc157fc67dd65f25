// "XVIEWSIGN": the signature viewer. It returns 1 however it was closed.
#include "entry/commands.h"
#include "entry/module_state.h"
#include "org/viewsign_dlg.h"

namespace hrz {

int CmdViewSignatures(const char*, char*) {
  ModuleResourceScope resources;
  CViewUserSignDlg dialog;
  dialog.DoModal();
  return 1;
}

}  // namespace hrz
