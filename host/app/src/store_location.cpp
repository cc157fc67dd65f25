#include "store_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "xclidb.h"

namespace fs = std::filesystem;

namespace hrzhost {

std::string DefaultStorePath() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  fs::path base;
  if (dataHome != nullptr && *dataHome == '/') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    base = fs::path(home != nullptr && *home != '\0' ? home : "/tmp") / ".local" / "share";
  }
  return (base / "hrzuser" / "store.db").string();
}

bool EnsureStore(const std::string& path, std::string* error) {
  std::error_code code;
  if (fs::exists(path, code)) return true;
  fs::path folder = fs::path(path).parent_path();
  if (!folder.empty() && !fs::create_directories(folder, code) && code) {
    *error = "cannot create " + folder.string() + ": " + code.message();
    return false;
  }
  char reason[256] = "";
  if (XCliDB_CreateStore(path.c_str(), kFirstStartAdminPassword, 1, reason, sizeof(reason)) == 0) {
    *error = reason[0] != '\0' ? reason : "cannot create the store " + path;
    return false;
  }
  return true;
}

}  // namespace hrzhost
