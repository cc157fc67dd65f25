// Who is logged on, for every engine on the store: hrzserver's sessions and those of clients
// that run the engine in process, on this machine or on others. Each logged-on session is a
// row of "SRV_SESSION" from its logon until its logoff, a failed logon or its end, under the
// key of its engine; each engine keeps a row of "SRV_PROCESS" with the time it last noted that
// it runs (its beat). A session's row counts
// - for an engine of this process, while the session is live here, whatever the store does;
// - for an engine of a process of this machine's boot that has ended: not at all, at once;
// - for any other engine, while its beat is no older than the grace.
// Rows that no longer count are dropped when they are read and by every beat.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "hrzserver/engine.h"
#include "store_db.h"

namespace hrzsrv {

struct SessionState;

// An engine's presence on its store: its row of "SRV_PROCESS", beaten from a thread of its
// own, and the rows of its sessions.
class Presence {
 public:
  // Notes the engine on the store at location and starts its beat. Null (and error) when the
  // store cannot be reached or refuses the row.
  static std::unique_ptr<Presence> Start(const std::string& location,
                                         std::shared_ptr<const Clock> clock,
                                         const Heartbeat& settings, std::string* error);
  // Stops the beat and takes the engine's rows from the store: its own and any session's left
  // behind. Every session of the engine has ended by now.
  ~Presence();
  Presence(const Presence&) = delete;
  Presence& operator=(const Presence&) = delete;

  const std::string& engineKey() const { return key_; }
  // Notes now that the engine runs, drops engines whose beat is past the grace with their
  // sessions, and writes the rows of its live sessions again should another engine have
  // dropped them (this one was cut off from the store for longer than the grace). The thread
  // calls it at each interval. False when the store failed.
  bool Beat();

  // Adds the session's row; false when the store fails.
  bool NoteOnline(StoreDb& db, const SessionState& session, double now);
  // Removes the session's row, if any.
  void NoteOffline(StoreDb& db, std::uint64_t session);
  // Whether a session that counts is logged on as the user.
  bool IsOnline(StoreDb& db, int userNid);

 private:
  Presence(std::string location, std::shared_ptr<const Clock> clock, const Heartbeat& settings);
  bool BeatLocked(std::string* error);
  void Leave();
  void Run();
  std::string SessionKey(std::uint64_t session) const;

  const std::string location_;
  const std::shared_ptr<const Clock> clock_;
  const Heartbeat settings_;
  const std::string key_;
  bool started_ = false;  // its row was written: closing takes it away

  std::mutex beatMutex_;
  std::unique_ptr<StoreDb> beatDb_;  // guarded by beatMutex_; reopened after a failure
  bool beatFailing_ = false;         // guarded by beatMutex_: logs a failing store once

  std::mutex stopMutex_;
  std::condition_variable stopWake_;
  bool stopping_ = false;  // guarded by stopMutex_
  std::thread thread_;
};

}  // namespace hrzsrv
