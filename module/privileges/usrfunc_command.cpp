// "XUSRFUNC", "KQFLOWUSER", "KQWFUSER" and "XPRFLWCHK": the privilege editor behind its
// gate; and the registration of a command the host captured for the editor.
#include "entry/commands.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "org/org_rights.h"
#include "platform_ui.h"
#include "privileges/addfnpvg_dlg.h"
#include "privileges/usrfunc_dlg.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

// The administrator, or a view or modify right of "UFUNCPVG".
bool MayOpenPrivilegeEditor(tagXCliDB* db) {
  if (LoggedOnAsAdmin(db)) return true;
  int view = 0;
  int modify = 0;
  return XCliGetFuncPvg(db, -1, "UFUNCPVG", &view, &modify) && (view != 0 || modify != 0);
}

// A message outside any dialog, owned by the host's main window.
void ShowHostMessage(const char* text) {
  const std::string message = text;
  const tagHRZLib* lib = Module().lib;
  MessageBoxA(lib != nullptr ? lib->parentWnd : nullptr, message.c_str(), T("mb_cap"),
              MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

int CmdFunctionPrivileges(const char* command, char*) {
  if (!MayOpenPrivilegeEditor(Module().db)) {
    ShowHostMessage(T("no pvg"));
    return 1;
  }
  ModuleResourceScope resources;
  CUserFuncPvgDlg dialog(command);
  dialog.DoModal();
  return 1;
}

int CmdAddFunctionPrivilege(const char* command, char* out) {
  // Capturing the editor's own command would guard the editor with a right nobody holds.
  if (EqualsNoCase(command, "XUSRFUNC")) {
    ShowHostMessage(T("add usr func pvg"));
    return 1;
  }
  ModuleResourceScope resources;
  CAddFuncPvgDlg dialog(command, out);
  dialog.DoModal();
  return 1;
}

}  // namespace hrz
