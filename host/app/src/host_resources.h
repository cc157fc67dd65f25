// The desktop client's own dialog templates, registered like a module's under the host's
// handle, so that its dialogs are built and driven as the module's are.
#pragma once

#include "wintypes.h"

namespace hrzhost {

constexpr int IDD_LOGON = 1;
constexpr int IDC_LOGON_LOCATION = 1001;
constexpr int IDC_LOGON_USER = 1002;
constexpr int IDC_LOGON_PASSWORD = 1003;
constexpr int IDC_LOGON_HINT = 1004;

HINSTANCE HostInstance();
// Registers the templates once; false when they do not parse (a build error, reported).
bool RegisterHostResources();

}  // namespace hrzhost
