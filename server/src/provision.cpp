// Creating a store with its administrator.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "crypto.h"
#include "hrzserver/engine.h"
#include "sqlite_store_db.h"
#include "store.h"

namespace hrzsrv {

bool CreateStore(const std::string& path, const std::string& adminPassword, std::string* error) {
  if (!InitCrypto()) {
    if (error) *error = "libsodium cannot start";
    return false;
  }
  // The file is made here, readable by its owner only, before SQLite opens it; SQLite gives
  // the journal files the same mode.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (error)
      *error =
          path + (errno == EEXIST ? " exists already" : ": " + std::string(std::strerror(errno)));
    return false;
  }
  ::close(fd);
  std::string hash;
  if (HashPassword(adminPassword, &hash) != HashOutcome::kDone && error) {
    *error = "cannot hash the password (out of memory, or too many hashes waiting)";
  }
  std::unique_ptr<StoreDb> db = hash.empty() ? nullptr : OpenSqliteStoreDb(path, true, error);
  TlsIdentity identity;
  if (!db || !CreateSchema(*db, hash, error) || !EnsureTlsIdentity(*db, &identity, error)) {
    db.reset();
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    return false;
  }
  return true;
}

}  // namespace hrzsrv
