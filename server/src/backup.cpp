#include "hrzserver/backup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "hrzserver/pg_db.h"

namespace hrzsrv {
namespace {

namespace fs = std::filesystem;

constexpr int kBusyRetries = 600;  // a minute of 100 ms waits for a writer's lock
constexpr auto kBusyWait = std::chrono::milliseconds(100);

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, CloseDb>;

Db Open(const std::string& path, int flags, std::string* error) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK) {
    *error = "cannot open " + path + ": " + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    return nullptr;
  }
  sqlite3_busy_timeout(raw, 5000);
  return db;
}

bool CopyPages(sqlite3* from, sqlite3* to, std::string* error) {
  sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
  if (backup == nullptr) {
    *error = std::string("cannot start the copy: ") + sqlite3_errmsg(to);
    return false;
  }
  // All pages in one step: one read transaction, so one consistent state; in WAL mode
  // writers go on meanwhile.
  int rc = SQLITE_BUSY;
  for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
    rc = sqlite3_backup_step(backup, -1);
    if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
    std::this_thread::sleep_for(kBusyWait);
  }
  sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) {
    *error = std::string("the copy failed: ") + sqlite3_errstr(rc);
    return false;
  }
  return true;
}

bool IntegrityOk(sqlite3* db, std::string* error) {
  sqlite3_stmt* raw = nullptr;
  std::string verdict = "no answer";
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &raw, nullptr) == SQLITE_OK &&
      sqlite3_step(raw) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(raw, 0);
    verdict = text != nullptr ? reinterpret_cast<const char*>(text) : "";
  }
  sqlite3_finalize(raw);
  if (verdict == "ok") return true;
  *error = "the copy fails its integrity check: " + verdict;
  return false;
}

}  // namespace

bool BackupStore(const std::string& storePath, const std::string& target, std::string* error) {
  if (pg::IsPostgresLocation(storePath)) {
    *error = "a PostgreSQL store is copied with its own tools: pg_dump --format=custom --file " +
             target + " '" + storePath + "'";
    return false;
  }
  std::error_code ec;
  if (!fs::is_regular_file(storePath, ec)) {
    *error = storePath + " is not a store file";
    return false;
  }
  if (fs::exists(fs::symlink_status(target, ec))) {
    *error = fs::equivalent(storePath, target, ec)
                 ? target + " is the store itself"
                 : target + " exists; remove it first or choose another name";
    return false;
  }
  // Written beside the target under a name of its own and linked into place only when
  // whole, so that a target made meanwhile is not overwritten and a failed copy leaves none.
  std::string partial = target + ".XXXXXX";
  const int fd = mkstemp(partial.data());
  if (fd < 0) {
    *error = "cannot create a file beside " + target + ": " + std::strerror(errno);
    return false;
  }
  close(fd);
  bool ok = false;
  {
    Db from = Open(storePath, SQLITE_OPEN_READONLY, error);
    Db to = from ? Open(partial, SQLITE_OPEN_READWRITE, error) : nullptr;
    ok = to && CopyPages(from.get(), to.get(), error) && IntegrityOk(to.get(), error);
  }
  if (ok && link(partial.c_str(), target.c_str()) != 0) {
    *error = errno == EEXIST ? target + " was created meanwhile; nothing was overwritten"
                             : "cannot create " + target + ": " + std::strerror(errno);
    ok = false;
  }
  unlink(partial.c_str());
  return ok;
}

}  // namespace hrzsrv
