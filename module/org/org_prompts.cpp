#include "org/org_prompts.h"

#include <string>

#include "cwnd.h"
#include "entry/texts.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

}  // namespace

int ShowOrgMessage(CWnd* owner, const char* text, UINT type) {
  const std::string message = text != nullptr ? text : "";
  return MessageBoxA(owner != nullptr ? owner->GetSafeHwnd() : nullptr, message.c_str(),
                     T("mb_cap"), type);
}

bool StayAfterFailedSave(CWnd* owner) {
  return ShowOrgMessage(owner, T("save error continue"), MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
}

}  // namespace hrz
