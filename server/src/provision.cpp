// Creating a store with its administrator.
#include <sys/stat.h>

#include <cstdio>

#include "crypto.h"
#include "hrzserver/engine.h"
#include "store.h"

namespace hrzsrv {

bool CreateStore(const std::string& path, const std::string& adminPassword, std::string* error) {
  if (!InitCrypto()) {
    if (error) *error = "libsodium cannot start";
    return false;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (error) *error = path + " exists already";
    return false;
  }
  const std::string hash = HashPassword(adminPassword);
  if (hash.empty()) {
    if (error) *error = "cannot hash the password (out of memory)";
    return false;
  }
  SqliteHandle db = OpenSqlite(path, true, error);
  if (!db) return false;
  if (!CreateSchema(db.get(), hash, error)) {
    db.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    return false;
  }
  return true;
}

}  // namespace hrzsrv
