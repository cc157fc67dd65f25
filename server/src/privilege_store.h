// Privilege strings and grantor lists in the store ("SRV_PRIVILEGE": the string, and the
// grantors as little-endian 32-bit NIDs), and the catalogue positions that give them meaning.
#pragma once

#include <sqlite3.h>

#include <optional>

#include "privilege_rules.h"

namespace hrzsrv {

// The set of a record of "UUSR"; empty for a record without one, none when there is no such
// record. The grantor list always has one entry per mark: missing entries read as 0.
std::optional<PrivilegeSet> LoadPrivilegeSet(sqlite3* db, int nid);

// Replaces the record's set; an empty set removes its row.
bool StorePrivilegeSet(sqlite3* db, int nid, const PrivilegeSet& set);

// Every catalogue entry whose "NFNCHR" is a position 1 to 511.
CatalogueCodes ReadCatalogueCodes(sqlite3* db);

}  // namespace hrzsrv
