// The module's exported entry point and its attach/detach.
#pragma once

#include "wintypes.h"

extern "C" {
// code 1: keep params[1] (connection) and params[2] (host library record); returns 1.
// code 20: run the named command; returns 1, or for "XSELUSER" the chosen NID or -1.
// Any other code does nothing and returns 1.
__attribute__((visibility("default"))) int HRZCmd(int code, const char* command, void** params,
                                                  char* out);
}

namespace hrz {

constexpr int kCodeInitialise = 1;
constexpr int kCodeRunCommand = 20;

// Registers the module with the widget library; false when that fails.
bool ModuleAttach(HINSTANCE instance);
void ModuleDetach();

}  // namespace hrz
