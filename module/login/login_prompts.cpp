#include "login/login_prompts.h"

#include "entry/texts.h"
#include "platform_ui.h"

namespace hrz {
namespace {

UnitTexts T("dlg_user_lgnmac");

}  // namespace

void ShowLoginMessage(HWND owner, const std::string& text, LoginCaption caption) {
  MessageBoxA(owner, text.c_str(), T(caption == LoginCaption::kAddresses ? "mb_cap_ip" : "mb_cap"),
              MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace hrz
