// The module's embedded resource files and their registration with the widget library.
#pragma once

#include <cstddef>
#include <string>

#include "resources.h"
#include "wintypes.h"

namespace hrz {

extern const HrzResourceFile kModuleResourceFiles[];
extern const std::size_t kModuleResourceFileCount;

// Registers the templates, icons and bitmaps under the module's handle; false and a line in
// *error when one of them is malformed.
bool RegisterModuleResources(HINSTANCE instance, std::string* error);
void UnregisterModuleResources(HINSTANCE instance);

}  // namespace hrz
