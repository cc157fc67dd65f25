#include "entry/module_state.h"

#include "extension_module.h"

namespace hrz {

ModuleState& Module() {
  static ModuleState state;
  return state;
}

ModuleResourceScope::ModuleResourceScope() : saved_(AfxGetResourceHandle()) {
  AfxSetResourceHandle(Module().instance);
}

ModuleResourceScope::~ModuleResourceScope() {
  AfxSetResourceHandle(saved_);
}

}  // namespace hrz
