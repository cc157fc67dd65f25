// What the store itself keeps true of the organisation's links ("UUSRBM"), whoever writes
// them: a request, a client's SQL or the server's own code. Triggers check each link as it
// is written, inside the writer's transaction, so that SQLite's write lock serialises two
// writers that would each be harmless alone (two records moved below each other at once).
//
// - A link names a record of "UUSR" and hangs it under a department or role.
// - No record hangs below itself, at any depth.
// - The organisation's root has one link, at the top (parent 0); no other record is there.
// - The administrator keeps at least one place in the organisation.
//
// A write that breaks a rule fails with SQLITE_CONSTRAINT_TRIGGER and the rule's text as
// its message.
#pragma once

#include <sqlite3.h>

#include <string>

namespace hrzsrv {

// Creates the triggers where they are missing; false with the reason in error.
bool InstallOrganisationRules(sqlite3* db, std::string* error);

// True when the last failed statement on db broke one of these rules.
bool BrokeOrganisationRule(sqlite3* db);

}  // namespace hrzsrv
