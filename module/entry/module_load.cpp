// Attach and detach of the shared library: the loader runs these around dlopen/dlclose.
#include <dlfcn.h>

#include <cstdio>

#include "entry/hrzuser.h"

namespace {

HINSTANCE ThisModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&HRZCmd), &info) == 0) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

__attribute__((constructor)) void OnProcessAttach() {
  // A constructor cannot fail the load; say so loudly instead of running without resources.
  if (!hrz::ModuleAttach(ThisModule())) std::fputs("hrzuser: registration failed\n", stderr);
}

__attribute__((destructor)) void OnProcessDetach() {
  hrz::ModuleDetach();
}

}  // namespace
