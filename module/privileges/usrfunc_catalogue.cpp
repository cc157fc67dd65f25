// The privilege editor's catalogue buttons, the administrator's alone: a new entry typed in,
// and the capture of the host's next menu or toolbar command as a new entry.
#include <cstdint>

#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "org/org_rights.h"
#include "privileges/addfnpvg_dlg.h"
#include "privileges/pvg_prompts.h"
#include "privileges/usrfunc_dlg.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

}  // namespace

void CUserFuncPvgDlg::OnAddPrivilege() {
  if (!LoggedOnAsAdmin(Module().db)) {
    ShowPvgMessage(this, T("no pvg"));
    return;
  }
  // Reading the catalogue again rebuilds the rows: the shown marks are saved first.
  if (!grid_.SaveBeforeLeaving()) return;
  CAddFuncPvgDlg dialog(nullptr, nullptr);
  if (dialog.DoModal() != IDOK) return;
  const int shown = grid_.ShownNid();
  grid_.LoadCatalogue(this, "UUSRFN.NID");
  ApplyMode();
  grid_.LoadNode(shown);
}

void CUserFuncPvgDlg::OnRegisterMenuCommand() {
  ModuleState& module = Module();
  module.captureFlag = 0;
  if (!LoggedOnAsAdmin(module.db)) {
    ShowPvgMessage(this, T("no pvg"));
    return;
  }
  if (ShowPvgMessage(this, T("msg add menu pvg"), MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) return;
  if (module.lib != nullptr && module.lib->callback != nullptr) {
    module.captureFlag = 1;
    const auto entry = reinterpret_cast<std::intptr_t>(&HRZCmd);
    module.lib->callback(2, 2, entry, entry);
  }
  if (module.captureFlag == 0) {
    ShowPvgMessage(this, T("error occur"));
    return;
  }
  OnCancel();  // the editor closes as Cancel closes it, so the user can reach the menu
}

}  // namespace hrz
