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
// A write that breaks a rule fails with StoreFailure::kOrganisationRule and the rule's text
// as its message.
#pragma once

#include <string>

#include "store_db.h"

namespace hrzsrv {

// Creates the triggers of an SQLite store where they are missing; false with the reason in error.
bool InstallOrganisationRules(StoreDb& db, std::string* error);

}  // namespace hrzsrv
