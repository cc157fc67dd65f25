#include "plugin_module.h"

#include <dlfcn.h>

namespace hrzhost {

PluginModule::~PluginModule() {
  if (handle_ != nullptr) dlclose(handle_);
}

bool PluginModule::Load(const std::string& path, std::string* error) {
  if (handle_ != nullptr) {
    *error = "a module is already loaded";
    return false;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    *error = reason != nullptr ? reason : "cannot load " + path;
    return false;
  }
  auto entry = reinterpret_cast<HRZCmdFunc>(dlsym(handle, kHRZCmdSymbol));
  if (entry == nullptr) {
    *error = path + " has no entry " + kHRZCmdSymbol;
    dlclose(handle);
    return false;
  }
  handle_ = handle;
  entry_ = entry;
  return true;
}

}  // namespace hrzhost
