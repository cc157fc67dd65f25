#include "extension_module.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// Modules attach and detach from the loader, possibly off the UI thread.
std::mutex g_mutex;
// Never destroyed: a module that the host never unloads detaches during the process's exit,
// after the static objects of this library are gone.
std::vector<HINSTANCE>& Registered() {
  static auto* modules = new std::vector<HINSTANCE>;
  return *modules;
}
HINSTANCE g_resourceHandle = nullptr;  // UI thread only

}  // namespace

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HINSTANCE module) {
  if (module == nullptr) return FALSE;
  std::lock_guard lock(g_mutex);
  auto& modules = Registered();
  if (std::find(modules.begin(), modules.end(), module) != modules.end()) return FALSE;
  modules.push_back(module);
  state.hModule = module;
  state.registered = true;
  return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state) {
  if (!state.registered) return;
  std::lock_guard lock(g_mutex);
  auto& modules = Registered();
  modules.erase(std::remove(modules.begin(), modules.end(), state.hModule), modules.end());
  state.registered = false;
}

bool AfxIsExtensionModuleRegistered(HINSTANCE module) {
  std::lock_guard lock(g_mutex);
  auto& modules = Registered();
  return std::find(modules.begin(), modules.end(), module) != modules.end();
}

HINSTANCE AfxGetResourceHandle() {
  return g_resourceHandle;
}
void AfxSetResourceHandle(HINSTANCE module) {
  g_resourceHandle = module;
}
