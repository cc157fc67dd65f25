// The host library record that the desktop client hands to a plug-in module.
#pragma once

#include <cstdint>

#include "wintypes.h"

// The host callback takes four word-sized arguments (texts and buffers travel as
// addresses) and returns a text or null. Patterns the module uses:
//   (1, 1, section, key)   display text of a message key, or null/"" when none
//   (1, 4, buffer, 0)      short name of the current scope into buffer (128 bytes)
//   (2, 2, entry, entry)   route the next menu or toolbar command to entry (capture)
using HRZCallback = char* (*)(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t);

// Owned by the host; a plug-in only reads it. Either field may be null.
struct tagHRZLib {
  HRZCallback callback = nullptr;
  HWND parentWnd = nullptr;
};

// The one entry point every plug-in module exports (unmangled).
using HRZCmdFunc = int (*)(int code, const char* command, void** params, char* out);
constexpr const char* kHRZCmdSymbol = "HRZCmd";
