#include <cstdlib>
#include <cstring>
#include <string>

#include "platform.h"

DWORD GetTempPathA(DWORD bufferLength, char* buffer) {
  const char* env = std::getenv("TMPDIR");
  std::string path = (env != nullptr && *env != '\0') ? env : "/tmp";
  if (path.back() != '/') path += '/';
  if (path.size() + 1 > bufferLength || buffer == nullptr)
    return static_cast<DWORD>(path.size() + 1);
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}
