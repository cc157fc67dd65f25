// "XUSRMAN" and "XROLEMAN": the user manager, behind its privilege gate. One manager at a
// time: a second call while one runs returns at once.
#include "entry/commands.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "org/roledept.h"
#include "platform_ui.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

bool g_managerOpen = false;  // UI thread only

}  // namespace

int CmdUserManager(const char*, char*) {
  if (g_managerOpen) return 1;
  g_managerOpen = true;
  int view = 0;
  int modify = 0;
  if (!XCliGetFuncPvg(Module().db, -1, "UUSR", &view, &modify) || (view == 0 && modify == 0)) {
    const std::string text = T("no pvg");
    const tagHRZLib* lib = Module().lib;
    MessageBoxA(lib != nullptr ? lib->parentWnd : nullptr, text.c_str(), T("mb_cap"),
                MB_OK | MB_ICONEXCLAMATION);
  } else {
    ModuleResourceScope resources;
    CRoleDeptDlg dialog;
    dialog.DoModal();
  }
  g_managerOpen = false;
  return 1;
}

}  // namespace hrz
