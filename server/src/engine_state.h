// What the engine shares between sessions and what each session keeps.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
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
#include "hrzcommon/protocol.h"
#include "hrzserver/engine.h"
#include "online_sessions.h"
#include "pg_client_connection.h"
#include "privilege_rules.h"
#include "record_save_message.h"
#include "statement.h"

namespace hrzsrv {

// Immutable after Open except the dummy hash (behind its lock), so sessions read it freely.
struct EngineState {
  std::string path;
  std::shared_ptr<const Clock> clock;
  EngineLimits limits;
  PublicKey publicKey{};
  SecretKey secretKey{};
  std::unique_ptr<Presence> presence;  // the engine's heartbeat and its sessions' rows
  // An Argon2id hash of nothing anyone knows: an unknown user code is checked against it so
  // that it costs what a wrong password costs. Made on first use.
  std::string DummyHash();

 private:
  std::mutex dummyMutex_;
  std::string dummyHash_;  // guarded by dummyMutex_
};

using SealNonce = std::array<std::uint8_t, hrz::protocol::kSealNonceSize>;
using SteadyTime = std::chrono::steady_clock::time_point;
// The messages of a record save kept until its last one arrives. A save belongs to the
// user that began it; it is dropped with the session, so a dropped connection applies nothing.
struct PendingSave {
  int ownerNid = -1;
  std::optional<SaveBlock> block;  // from the first message; none while no save is open
  std::vector<SaveEntry> entries;
  std::size_t bytes = 0;  // body bytes of the messages kept, at most kRecordSavePendingMax
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
  std::unique_ptr<StoreDb> db;   // open from a logon until the logon ends
  ClientSqlGuard sqlGuard;       // installed on db
  PgClientConnection pgClient;   // client SQL's own connection when db is on PostgreSQL
  bool clientSqlActive = false;  // client SQL runs: the time limit and a client gone stop it
  SteadyTime sqlDeadline{};      // client SQL stops here (when the engine has a limit)
  bool sqlTimedOut = false;      // the last statement stopped at its deadline
  std::atomic<bool> clientGone{false};
  SealNonce sealNonce{};               // handed out by hello
  std::uint32_t lastSealSequence = 0;  // sealed passwords must count up from here
  int userNid = -1;                    // -1 until a logon succeeds
  std::string userCode;
  std::int32_t clientVersion = 0;
  // Server file names named for this session's uploads, with the row and column each file's
  // name goes into once its content has arrived.
  struct IssuedUpload {
    int nid = -1;
    std::string column;
  };
  std::map<std::string, IssuedUpload> issuedFiles;
  // Server file names this session was given by a request that may hand them out; get file
  // reads only these (the administrator reads every file).
  std::set<std::string> readableFiles;
  PendingSave pendingSave;
  std::optional<PrivilegeStep> privilegeStep;  // taken by the request that follows it
  std::uint32_t privilegeExchanges = 0;        // numbers the session's privilege exchanges
  bool LoggedOn() const { return userNid > 0; }
  // The administrator is the reserved record, whatever code it shows.
  bool IsAdmin() const;
};

// Gives the session its own store connection, with the client authorizer and the statement
// limit in place. False (and error) when the store cannot be opened.
bool AttachStore(EngineState& engine, SessionState& session, std::string* error);
// Closes the session's store connection and client SQL's connection with it.
void DetachStore(SessionState& session);

}  // namespace hrzsrv
