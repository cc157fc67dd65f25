#include "resources/module_resources.h"

namespace hrz {

bool RegisterModuleResources(HINSTANCE instance, std::string* error) {
  return AfxRegisterModuleResources(instance, kModuleResourceFiles, kModuleResourceFileCount,
                                    error) != FALSE;
}

void UnregisterModuleResources(HINSTANCE instance) {
  AfxUnregisterModuleResources(instance);
}

}  // namespace hrz
