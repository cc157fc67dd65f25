// Creating a store with its administrator.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "crypto.h"
#include "hrzserver/engine.h"
#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"
#include "sqlite_store_db.h"
#include "store.h"

namespace hrzsrv {
namespace {

bool CreateSqliteStore(const std::string& path, const std::string& adminPassword,
                       std::string* error) {
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

// A store on PostgreSQL is made as one on a single machine would be, in a private temporary
// folder, and copied across; so both kinds start from the same rows.
bool CreatePgStore(const std::string& location, const std::string& adminPassword,
                   std::string* error) {
  std::error_code ignored;
  std::string folder = (std::filesystem::temp_directory_path(ignored) / "hrzserver-init-XXXXXX");
  if (::mkdtemp(folder.data()) == nullptr) {
    if (error) *error = "cannot make a temporary folder: " + std::string(std::strerror(errno));
    return false;
  }
  const std::string file = folder + "/store.hrz";
  const bool made = CreateSqliteStore(file, adminPassword, error) &&
                    MigrateToPostgres(file, location, nullptr, error);
  std::filesystem::remove_all(folder, ignored);
  return made;
}

}  // namespace

bool CreateStore(const std::string& location, const std::string& adminPassword,
                 std::string* error) {
  if (!InitCrypto()) {
    if (error) *error = "libsodium cannot start";
    return false;
  }
  return pg::IsPostgresLocation(location) ? CreatePgStore(location, adminPassword, error)
                                          : CreateSqliteStore(location, adminPassword, error);
}

}  // namespace hrzsrv
