// What the module keeps between calls: set by HRZCmd code 1 and by module attach.
// Everything runs on the host's UI thread, so none of it is locked.
#pragma once

#include "hrzlib.h"
#include "wintypes.h"

struct tagXCliDB;

namespace hrz {

struct ModuleState {
  tagXCliDB* db = nullptr;       // the host's connection, for every query and request
  tagHRZLib* lib = nullptr;      // the host library record (callback, parent window)
  HINSTANCE instance = nullptr;  // this module, for its own resources
  int captureFlag = 0;           // 1: the next command call is captured, not run
};

ModuleState& Module();

// Makes the module's resources current for the lifetime of the scope.
class ModuleResourceScope {
 public:
  ModuleResourceScope();
  ~ModuleResourceScope();
  ModuleResourceScope(const ModuleResourceScope&) = delete;
  ModuleResourceScope& operator=(const ModuleResourceScope&) = delete;

 private:
  HINSTANCE saved_;
};

}  // namespace hrz
