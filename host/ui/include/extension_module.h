// Extension modules and the current resource handle: dialogs, icons and bitmaps are
// looked up in the resources of the module whose handle is current.
#pragma once

#include "wintypes.h"

struct AFX_EXTENSION_MODULE {
  HINSTANCE hModule = nullptr;
  bool registered = false;
};

// Registers a loaded module with the widget library so that its resources can be found.
// Returns FALSE when the module handle is null or already registered.
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HINSTANCE module);
// Unregisters; a module that is not registered is left alone.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state);
bool AfxIsExtensionModuleRegistered(HINSTANCE module);

// The module whose resources are current; null means the host's own.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);

// Makes module's resources current for the lifetime of the scope, then restores the
// handle that was current before.
class ResourceHandleScope {
 public:
  explicit ResourceHandleScope(HINSTANCE module) : saved_(AfxGetResourceHandle()) {
    AfxSetResourceHandle(module);
  }
  ~ResourceHandleScope() { AfxSetResourceHandle(saved_); }
  ResourceHandleScope(const ResourceHandleScope&) = delete;
  ResourceHandleScope& operator=(const ResourceHandleScope&) = delete;

 private:
  HINSTANCE saved_;
};
