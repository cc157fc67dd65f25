// Message boxes of the login list dialogs: texts of section "dlg_user_lgnmac" with the
// exclamation icon and an OK button.
#pragma once

#include <string>

#include "wintypes.h"

namespace hrz {

// The address dialogs' boxes carry the caption "mb_cap_ip", the machine picker's "mb_cap".
enum class LoginCaption { kAddresses, kMachines };

// Shows text owned by owner (null: the active window).
void ShowLoginMessage(HWND owner, const std::string& text, LoginCaption caption);

}  // namespace hrz
