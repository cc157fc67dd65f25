#include "entry/hrzuser.h"

#include <string>

#include "entry/command_table.h"
#include "entry/module_state.h"
#include "extension_module.h"
#include "platform.h"
#include "resources/module_resources.h"

struct tagXCliDB;

extern "C" int HRZCmd(int code, const char* command, void** params, char* out) {
  hrz::ModuleState& module = hrz::Module();
  if (code == hrz::kCodeInitialise) {
    module.db = params != nullptr ? static_cast<tagXCliDB*>(params[1]) : nullptr;
    module.lib = params != nullptr ? static_cast<tagHRZLib*>(params[2]) : nullptr;
    return 1;
  }
  if (code != hrz::kCodeRunCommand) return 1;
  hrz::CommandFunc run = hrz::ResolveCommand(command);
  return run != nullptr ? run(command, out) : 1;
}

namespace hrz {
namespace {

AFX_EXTENSION_MODULE g_extension;

}  // namespace

bool ModuleAttach(HINSTANCE instance) {
  Module().instance = instance;
  HINSTANCE saved = AfxGetResourceHandle();
  AfxSetResourceHandle(instance);
  bool registered = AfxInitExtensionModule(g_extension, instance) != FALSE;
  std::string error;
  if (registered && !RegisterModuleResources(instance, &error)) {
    // Without its templates no command could open; the load fails instead.
    OutputDebugStringA(("hrzuser: resources: " + error + "\n").c_str());
    AfxTermExtensionModule(g_extension);
    registered = false;
  }
  AfxSetResourceHandle(saved);
  if (registered) OutputDebugStringA("hrzuser.dll Initializing!\n");
  return registered;
}

void ModuleDetach() {
  OutputDebugStringA("hrzuser.dll Terminating!\n");
  UnregisterModuleResources(g_extension.hModule);
  AfxTermExtensionModule(g_extension);
}

}  // namespace hrz
