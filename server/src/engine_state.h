// What the engine shares between sessions and what each session keeps.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "client_sql_guard.h"
#include "crypto.h"
#include "hrzcommon/protocol.h"
#include "hrzserver/engine.h"
#include "privilege_rules.h"
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

// The first step of a two-step privilege exchange. It lives until the session's next request,
// which must be its continuation naming the same node and number.
struct PrivilegeStep {
  hrz::protocol::Kind continuation{};
  std::int32_t node = 0;
  std::uint32_t number = 0;  // the session's count of exchanges when it began
  PrivilegeSet set;          // read: the set the first reply showed; save: the marks sent
};

struct SessionState {
  std::uint64_t id = 0;
  std::string peer;
  SqliteHandle db;
  ClientSqlGuard sqlGuard;  // installed on db
  int userNid = -1;         // -1 until a logon succeeds
  std::string userCode;
  std::int32_t clientVersion = 0;
  std::set<std::string> issuedFiles;           // server file names named for this session's uploads
  std::optional<PrivilegeStep> privilegeStep;  // taken by the request that follows it
  std::uint32_t privilegeExchanges = 0;        // numbers the session's privilege exchanges
  bool LoggedOn() const { return userNid > 0; }
  // The administrator is the reserved record, whatever code it shows.
  bool IsAdmin() const;
};

}  // namespace hrzsrv
