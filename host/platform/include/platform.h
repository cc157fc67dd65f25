// Windows-named operating-system calls that the module makes, over POSIX.
#pragma once

#include "wintypes.h"

// Writes the temporary folder (TMPDIR or /tmp), always ending in "/", into buffer.
// Returns the length written, or the size needed (including the terminator) when
// bufferLength is too small; 0 on failure.
DWORD GetTempPathA(DWORD bufferLength, char* buffer);

// Debug output: written to standard error when HRZ_DEBUG_OUTPUT is set, else dropped.
void OutputDebugStringA(const char* text);
