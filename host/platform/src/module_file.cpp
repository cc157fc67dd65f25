#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "hrzcommon/text.h"
#include "platform.h"

namespace {

struct Lookup {
  std::uintptr_t base = 0;
  std::string path;
  bool found = false;
};

int MatchBase(dl_phdr_info* info, std::size_t, void* data) {
  auto* lookup = static_cast<Lookup*>(data);
  if (info->dlpi_addr != lookup->base) return 0;
  lookup->found = true;
  // The executable itself is listed with an empty name.
  if (info->dlpi_name != nullptr) lookup->path = info->dlpi_name;
  return 1;
}

std::string ExecutablePath() {
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::string ModulePath(HMODULE module) {
  std::string path;
  if (module == nullptr) {
    path = ExecutablePath();
  } else {
    Lookup lookup;
    lookup.base = reinterpret_cast<std::uintptr_t>(module);
    dl_iterate_phdr(MatchBase, &lookup);
    if (lookup.found) path = lookup.path.empty() ? ExecutablePath() : lookup.path;
  }
  return path;
}

}  // namespace

DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  const std::string path = ModulePath(module);
  if (path.empty()) return 0;
  // Cut to the buffer, the length is then the buffer's size.
  return hrz::CopyBounded(buffer, size, path) ? static_cast<DWORD>(path.size()) : size;
}

DWORD GetModuleFileNameW(HMODULE module, WCHAR* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  const std::u16string path = hrz::Utf8ToUtf16(ModulePath(module));
  if (path.empty()) return 0;
  const std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
  std::copy_n(path.begin(), copied, buffer);
  buffer[copied] = u'\0';
  return copied == path.size() ? static_cast<DWORD>(copied) : size;
}
