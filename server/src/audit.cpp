#include "audit.h"

#include <string>

#include "dispatch.h"
#include "hrzserver/log.h"

namespace hrzsrv {

bool WriteAudit(Context& context, const AuditEntry& entry) {
  Statement write(context.db(),
                  "INSERT INTO SRV_LOG(DTIME, NUSER, CPEER, CACTION, CTABLE, NTARGET, CVALUE, "
                  "CTEXT) VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
  write.Bind(1, context.Now())
      .Bind(2, std::int64_t{context.session.userNid})
      .Bind(3, context.session.peer)
      .Bind(4, entry.action)
      .Bind(5, entry.table)
      .Bind(6, entry.target)
      .Bind(7, entry.value)
      .Bind(8, entry.text);
  if (!write.Done()) return false;
  // Refusals stand whatever the request does next; rights changes may still be rolled back,
  // so only the store keeps them.
  if (entry.action == audit::kRefused || entry.action == audit::kLogonFailed ||
      entry.action == audit::kLocked) {
    const std::string target = std::to_string(entry.target);
    Log(LogLevel::Warn, entry.action,
        {{"peer", context.session.peer},
         {"user", context.session.userCode},
         {"table", entry.table},
         {"target", target},
         {"value", entry.value},
         {"reason", entry.text}});
  }
  return true;
}

bool WriteRightsChanges(Context& context, const std::vector<RightsNote>& notes) {
  for (const RightsNote& note : notes) {
    if (!WriteAudit(context,
                    {audit::kRightsChanged, note.table, note.target, note.what, note.text})) {
      return false;
    }
  }
  return true;
}

}  // namespace hrzsrv
