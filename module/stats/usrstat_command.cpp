// "XUSERS_STAT": the online user statistics, run modally; nothing is returned to the host.
#include "entry/commands.h"
#include "entry/module_state.h"
#include "stats/usrstatdlg.h"

namespace hrz {

int CmdUserStatistics(const char*, char*) {
  ModuleResourceScope resources;
  CUserStatDlg dialog;
  dialog.DoModal();
  return 1;
}

}  // namespace hrz
