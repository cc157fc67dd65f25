// What a logged-on user may do, read from the organisation and the privilege strings.
#pragma once

#include <optional>
#include <string_view>

#include "store_db.h"
#include "write_rules.h"

namespace hrzsrv {

struct SessionState;

struct PrivilegeFlags {
  bool view = false;
  bool modify = false;
};

// The flags of a record for one catalogue code: its own privilege string and those of every
// department and role above it, all levels up ("M" gives modify and view, "V" view, any
// case). None when the code is not in the catalogue.
std::optional<PrivilegeFlags> PrivilegeOf(StoreDb& db, int nid, std::string_view code);

// The session's rights: the administrator is the reserved record, not a code. A session
// whose user was deleted since its logon has none.
Rights RightsOf(StoreDb& db, const SessionState& session);

// The privilege editor's gate: the administrator, or "UFUNCPVG" view or modify.
bool MayEditPrivileges(StoreDb& db, const SessionState& session);

}  // namespace hrzsrv
