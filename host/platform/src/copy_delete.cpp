#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform.h"

namespace fs = std::filesystem;

BOOL CopyFileA(const char* existing, const char* target, BOOL failIfExists) {
  if (existing == nullptr || target == nullptr) return FALSE;
  std::error_code error;
  if (!fs::is_regular_file(existing, error)) return FALSE;
  if (failIfExists && fs::exists(target, error)) return FALSE;
  fs::path partial = std::string(target) + ".part" + std::to_string(getpid());
  if (!fs::copy_file(existing, partial, fs::copy_options::overwrite_existing, error)) {
    fs::remove(partial, error);
    return FALSE;
  }
  fs::rename(partial, target, error);
  if (error) {
    fs::remove(partial, error);
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileA(const char* path) {
  if (path == nullptr) return FALSE;
  std::error_code error;
  if (fs::is_directory(path, error)) return FALSE;
  return fs::remove(path, error) ? TRUE : FALSE;
}
