// The audit log ("SRV_LOG"): what the server refused, failed logons and locks, and changes
// of rights, each with the session's user, its address and the server's time.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "write_rules.h"

namespace hrzsrv {

struct Context;

namespace audit {
// Actions the server writes itself; clients write their own with the audit log request.
constexpr std::string_view kRefused = "REFUSED";
constexpr std::string_view kLogonFailed = "LOGON FAILED";
constexpr std::string_view kLocked = "LOCKED";
constexpr std::string_view kRightsChanged = "RIGHTS CHANGED";
}  // namespace audit

struct AuditEntry {
  std::string_view action;
  std::string_view table;    // the table or request concerned
  std::int64_t target = -1;  // the record concerned, -1 none
  std::string_view value;    // what: a column, a code, a file name
  std::string_view text;     // why, or the old and new values
};

// Appends one entry; false when the store fails.
bool WriteAudit(Context& context, const AuditEntry& entry);
// Appends a "RIGHTS CHANGED" entry for each note; false when the store fails. Written in
// the transaction of the change, so that no change is kept without its entries.
bool WriteRightsChanges(Context& context, const std::vector<RightsNote>& notes);

}  // namespace hrzsrv
