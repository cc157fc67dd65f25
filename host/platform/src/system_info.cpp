#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>

#include "hrzcommon/text.h"
#include "platform.h"

static_assert(sizeof(OSVERSIONINFOA) == 148, "callers pass the size of the Windows structure");

namespace {

// The leading number of text, advancing past it and one following separator.
DWORD TakeNumber(const char** text) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(*text, &end, 10);
  if (end == *text) return 0;
  *text = *end != '\0' ? end + 1 : end;
  return static_cast<DWORD>(value);
}

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
  utsname name{};
  if (::uname(&name) != 0) return FALSE;
  const char* release = name.release;
  info->dwMajorVersion = TakeNumber(&release);
  info->dwMinorVersion = TakeNumber(&release);
  info->dwBuildNumber = TakeNumber(&release);
  info->dwPlatformId = 0;
  hrz::CopyBounded(info->szCSDVersion, sizeof info->szCSDVersion, name.release);
  return TRUE;
}

DWORD GetCurrentProcessId() {
  return static_cast<DWORD>(::getpid());
}
