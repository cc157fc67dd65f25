// Message boxes of the privilege windows: texts of section "dlg_userfuncpvg" under its
// caption "mb_cap", with the exclamation icon unless told otherwise.
#pragma once

#include "platform_ui.h"

class CWnd;

namespace hrz {

// Shows text (copied first, so a text of any lookup may be passed) owned by owner's window
// (null: the active window); returns the chosen button.
int ShowPvgMessage(CWnd* owner, const char* text, UINT type = MB_OK | MB_ICONEXCLAMATION);

}  // namespace hrz
