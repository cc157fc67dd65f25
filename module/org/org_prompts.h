// Message boxes of the organisation windows: texts of section "dlg_userman" under its
// caption "mb_cap", with the exclamation icon.
#pragma once

#include "platform_ui.h"

class CWnd;

namespace hrz {

// Shows text (copied first, so a text of any lookup may be passed) owned by owner's window
// (null: the active window); returns the chosen button.
int ShowOrgMessage(CWnd* owner, const char* text, UINT type = MB_OK | MB_ICONEXCLAMATION);
// "save error continue": true when the user chose OK, to stay where the failed save was.
bool StayAfterFailedSave(CWnd* owner);

}  // namespace hrz
