// Who is logged on, for every engine on the store: hrzserver's sessions and those of clients
// that run the engine in process. Each logged-on session is a row of "SRV_SESSION" from its
// logon until its logoff, a failed logon or its end (a dropped connection ends it at once).
// Rows of a process that ended without removing them are dropped when they are next read;
// in its own process a session is offline the moment it ends, whatever the store does.
#pragma once

#include <cstdint>

#include "store_db.h"

namespace hrzsrv {

struct SessionState;

// Reads what names this process apart from others (its boot, pid and start); done once as an
// engine opens, while descriptors are to spare, so that no logon depends on reading it.
void NameThisProcess();
// Adds the session's row; false when the store fails.
bool NoteOnline(StoreDb& db, const SessionState& session, double now);
// Removes the session's row, if any.
void NoteOffline(StoreDb& db, std::uint64_t session);
// Whether a session of a running process is logged on as the user.
bool IsOnline(StoreDb& db, int userNid);

}  // namespace hrzsrv
