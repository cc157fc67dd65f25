#include "endpoint/krnprocessguard.h"

#include "endpoint/krnchannel.h"
#include "platform_ui.h"

namespace hrz {

CKrnProcessGuard::CKrnProcessGuard(int kind)
    : kind_(kind), registered_(KrnRegisterProcess(kind) != 0) {}

CKrnProcessGuard::~CKrnProcessGuard() {
  End();
}

void CKrnProcessGuard::End() {
  if (!registered_) return;
  registered_ = false;
  if (!KrnUnregisterProcess(kind_, remove_)) PostQuitMessage(0);
}

}  // namespace hrz
