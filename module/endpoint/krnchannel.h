// The channel to the encryption kernel driver. Every operation opens the device of a kind
// (0, 1, 2: hrz::krn::kDeviceNames), checks that the right driver answers, sends one
// request naming the running program or the caller's values, checks the reply and closes
// the device again; nothing is kept between operations. No driver, a wrong driver or a
// refused request make an operation return 0, and nothing is shown. UI thread.
#pragma once

#include <string>
#include <string_view>

#include "wintypes.h"

namespace hrz {

// "\\.\NAME" before major version 5, "\\.\Global\NAME" from 5 on; empty for a bad kind.
std::string KrnDevicePath(int kind, DWORD majorVersion);
// The device of kind, probed; null with "OpenFailed" or "InvalidResponse" in error (may be
// null) when no driver or a wrong one answers. The caller closes it.
HANDLE KrnOpenDevice(int kind, std::string* error);

// The running program (its process id and executable's file name) on the device of kind.
int KrnRegisterProcess(int kind);
// remove selects the unregistration with removal (code 4) over the one without (code 5).
int KrnUnregisterProcess(int kind, bool remove);
// The caller's value and name instead of the running program.
int KrnRegisterEntry(int kind, DWORD value, std::string_view name);
int KrnUnregisterEntry(int kind, bool remove, DWORD value, std::string_view name);
// Controls 20 and 21 on device 0 with the executable's file name and the process id, or 0
// in its place.
int KrnControl20(bool withProcessId);
int KrnControl21(bool withProcessId);
// Asks the driver about the last component of path; only names of the form "[HRxxx]" or
// "[HRxxx~" (letters H and R in either case) are asked about, others give 0 at once.
int KrnCheckFileName(const char* path);
// Sends "name=value", or "4pqr4=4pqr4" when either is missing.
int KrnSetValue(const char* name, const char* value);

// The part of an executable's path after its last "\" or "/".
std::u16string_view KrnFileNameOfPath(std::u16string_view path);
bool KrnIsCheckableName(std::u16string_view name);

}  // namespace hrz
