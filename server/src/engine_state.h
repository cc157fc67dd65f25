// What the engine shares between sessions and what each session keeps.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "client_sql_guard.h"
#include "crypto.h"
#include "hrzserver/engine.h"
#include "record_save_message.h"
#include "sqlite_db.h"

namespace hrzsrv {

// Who is logged on now, for the online state request. Guarded by its own mutex because
// every session thread logs on and off through it.
class OnlineRegistry {
 public:
  void Add(std::uint64_t session, int userNid);
  void Remove(std::uint64_t session);
  bool IsOnline(int userNid) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::uint64_t, int> users_;  // guarded by mutex_
};

// Immutable after Open except the registry, so sessions read it without a lock.
struct EngineState {
  std::string path;
  std::shared_ptr<const Clock> clock;
  PublicKey publicKey{};
  SecretKey secretKey{};
  OnlineRegistry online;
};

// The messages of a record save kept until its last one arrives. A save belongs to the
// user that began it; it is dropped with the session, so a dropped connection applies nothing.
struct PendingSave {
  int ownerNid = -1;
  std::optional<SaveBlock> block;  // from the first message; none while no save is open
  std::vector<SaveEntry> entries;
  std::size_t bytes = 0;  // body bytes of the messages kept, at most kRecordSavePendingMax
};

struct SessionState {
  std::uint64_t id = 0;
  std::string peer;
  SqliteHandle db;
  ClientSqlGuard sqlGuard;  // installed on db
  int userNid = -1;         // -1 until a logon succeeds
  std::string userCode;
  std::int32_t clientVersion = 0;
  std::set<std::string> issuedFiles;  // server file names named for this session's uploads
  PendingSave pendingSave;
  bool LoggedOn() const { return userNid > 0; }
  // The administrator is the reserved record, whatever code it shows.
  bool IsAdmin() const;
};

}  // namespace hrzsrv
