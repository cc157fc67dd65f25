#include "host_resources.h"

#include <cstdio>
#include <string>

#include "resources.h"

namespace hrzhost {
namespace {

constexpr char kHostScript[] = R"(
1 DIALOGEX 0, 0, 250, 118
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Log on to hrzhost"
FONT 9, "MS Shell Dlg"
BEGIN
    LTEXT           "Server", -1, 10, 12, 50, 8
    EDITTEXT        1001, 62, 10, 178, 14, ES_AUTOHSCROLL
    LTEXT           "User code", -1, 10, 32, 50, 8
    EDITTEXT        1002, 62, 30, 178, 14, ES_AUTOHSCROLL
    LTEXT           "Password", -1, 10, 52, 50, 8
    EDITTEXT        1003, 62, 50, 178, 14, ES_PASSWORD | ES_AUTOHSCROLL
    LTEXT           "", 1004, 10, 70, 230, 20
    DEFPUSHBUTTON   "Log on", IDOK, 130, 96, 52, 15
    PUSHBUTTON      "Cancel", IDCANCEL, 188, 96, 52, 15
END
)";

char g_hostInstance;  // its address names the host's resources

}  // namespace

HINSTANCE HostInstance() {
  return reinterpret_cast<HINSTANCE>(&g_hostInstance);
}

bool RegisterHostResources() {
  HrzResourceFile file{"hrzhost.rc", reinterpret_cast<const unsigned char*>(kHostScript),
                       sizeof(kHostScript) - 1};
  std::string error;
  if (AfxRegisterModuleResources(HostInstance(), &file, 1, &error) == FALSE) {
    std::fprintf(stderr, "hrzhost: %s\n", error.c_str());
    return false;
  }
  return true;
}

}  // namespace hrzhost
