#include "privileges/pvg_prompts.h"

#include <string>

#include "cwnd.h"
#include "entry/texts.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

}  // namespace

int ShowPvgMessage(CWnd* owner, const char* text, UINT type) {
  const std::string message = text != nullptr ? text : "";
  return MessageBoxA(owner != nullptr ? owner->GetSafeHwnd() : nullptr, message.c_str(),
                     T("mb_cap"), type);
}

}  // namespace hrz
