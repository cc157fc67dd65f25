// Privilege strings and grantor lists in the store ("SRV_PRIVILEGE": the string, and the
// grantors as little-endian 32-bit NIDs), and the catalogue positions that give them meaning.
#pragma once

#include <optional>

#include "privilege_rules.h"
#include "store_db.h"

namespace hrzsrv {

// The set of a record of "UUSR"; empty for a record without one, none when there is no such
// record. The grantor list always has one entry per mark: missing entries read as 0.
std::optional<PrivilegeSet> LoadPrivilegeSet(StoreDb& db, int nid);

// Replaces the record's set; an empty set removes its row.
bool StorePrivilegeSet(StoreDb& db, int nid, const PrivilegeSet& set);

// Every catalogue entry whose "NFNCHR" is a position 1 to 511.
CatalogueCodes ReadCatalogueCodes(StoreDb& db);

}  // namespace hrzsrv
