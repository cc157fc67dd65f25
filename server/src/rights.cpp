#include "rights.h"

#include "engine_state.h"
#include "store.h"

namespace hrzsrv {

std::optional<PrivilegeFlags> PrivilegeOf(StoreDb& db, int nid, std::string_view code) {
  Statement position(db, "SELECT NFNCHR FROM UUSRFN WHERE CCODE = ?");
  position.Bind(1, code);
  if (!position.Row() || position.IsNull(0) || position.Int(0) < 1) return std::nullopt;
  Statement marks(
      db,
      "WITH RECURSIVE up(n) AS (SELECT CAST(?1 AS BIGINT) UNION SELECT b.NPID FROM UUSRBM b "
      "JOIN up ON b.NCID = up.n WHERE b.NPID > 0) "
      "SELECT upper(substr(p.CPVG, CAST(?2 AS INTEGER), 1)) FROM up JOIN SRV_PRIVILEGE p ON p.NID "
      "= up.n");
  marks.Bind(1, std::int64_t{nid}).Bind(2, position.Int(0));
  PrivilegeFlags flags;
  while (marks.Row()) {
    const std::string mark = marks.Text(0);
    if (mark == "M") flags.modify = flags.view = true;
    if (mark == "V") flags.view = true;
  }
  return flags;
}

Rights RightsOf(StoreDb& db, const SessionState& session) {
  Rights rights;
  if (!session.LoggedOn()) return rights;
  // A user deleted while its session is open keeps the session but loses every right.
  Statement state(db, "SELECT NSTAT FROM UUSR WHERE NID = ?");
  state.Bind(1, std::int64_t{session.userNid});
  if (!state.Row() || (!state.IsNull(0) && state.Int(0) == kDeletedState)) return rights;
  rights.userNid = session.userNid;
  rights.admin = session.IsAdmin();
  rights.manager = PrivilegeOf(db, session.userNid, "UUSR").value_or(PrivilegeFlags{}).modify;
  return rights;
}

bool MayEditPrivileges(StoreDb& db, const SessionState& session) {
  if (session.IsAdmin()) return true;
  if (!session.LoggedOn()) return false;
  const PrivilegeFlags flags =
      PrivilegeOf(db, session.userNid, "UFUNCPVG").value_or(PrivilegeFlags{});
  return flags.view || flags.modify;
}

}  // namespace hrzsrv
