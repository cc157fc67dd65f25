#include "organisation_rules.h"

#include "store.h"

namespace hrzsrv {
namespace {

// The checks every new or changed link passes; "@ROOT@" and "@ADMIN@" stand for the
// reserved NIDs. The walk up from the new parent follows every link of each record, so a
// record with several places is checked along all of them.
constexpr std::string_view kLinkChecks = R"sql(
  SELECT RAISE(ABORT, 'no such record in the organisation')
    WHERE NOT EXISTS (SELECT 1 FROM UUSR WHERE NID = NEW.NCID);
  SELECT RAISE(ABORT, 'only the organisation''s root is at the top')
    WHERE NEW.NPID = 0 AND NEW.NCID <> @ROOT@;
  SELECT RAISE(ABORT, 'a record hangs only under a department or role')
    WHERE NEW.NPID <> 0 AND NOT EXISTS (SELECT 1 FROM UUSR WHERE NID = NEW.NPID AND
      upper(CSRC) IN ('UDEPT', 'UROLE'));
  SELECT RAISE(ABORT, 'a record cannot hang below itself')
    WHERE NEW.NCID IN (WITH RECURSIVE up(n) AS (SELECT NEW.NPID UNION
      SELECT b.NPID FROM UUSRBM b JOIN up ON b.NCID = up.n WHERE b.NPID > 0) SELECT n FROM up);
)sql";

constexpr std::string_view kTriggers = R"sql(
CREATE TRIGGER IF NOT EXISTS UUSRBM_RULES_INSERT BEFORE INSERT ON UUSRBM BEGIN
  SELECT RAISE(ABORT, 'the organisation''s root stays at the top')
    WHERE NEW.NCID = @ROOT@ AND (NEW.NPID <> 0 OR EXISTS (SELECT 1 FROM UUSRBM WHERE NCID = @ROOT@));
  @CHECKS@
END;
CREATE TRIGGER IF NOT EXISTS UUSRBM_RULES_UPDATE BEFORE UPDATE OF NPID, NCID ON UUSRBM BEGIN
  SELECT RAISE(ABORT, 'the organisation''s root stays at the top')
    WHERE (OLD.NCID = @ROOT@ OR NEW.NCID = @ROOT@) AND (NEW.NCID <> OLD.NCID OR NEW.NPID <> 0);
  SELECT RAISE(ABORT, 'the administrator keeps a place in the organisation')
    WHERE OLD.NCID = @ADMIN@ AND NEW.NCID <> @ADMIN@ AND
      NOT EXISTS (SELECT 1 FROM UUSRBM WHERE NCID = @ADMIN@ AND NID <> OLD.NID);
  @CHECKS@
END;
CREATE TRIGGER IF NOT EXISTS UUSRBM_RULES_DELETE BEFORE DELETE ON UUSRBM BEGIN
  SELECT RAISE(ABORT, 'the organisation''s root stays at the top') WHERE OLD.NCID = @ROOT@;
  SELECT RAISE(ABORT, 'the administrator keeps a place in the organisation')
    WHERE OLD.NCID = @ADMIN@ AND
      NOT EXISTS (SELECT 1 FROM UUSRBM WHERE NCID = @ADMIN@ AND NID <> OLD.NID);
END;
)sql";

void ReplaceAll(std::string* text, std::string_view from, std::string_view to) {
  for (std::size_t at = 0; (at = text->find(from, at)) != std::string::npos; at += to.size()) {
    text->replace(at, from.size(), to);
  }
}

}  // namespace

bool InstallOrganisationRules(StoreDb& db, std::string* error) {
  std::string sql(kTriggers);
  ReplaceAll(&sql, "@CHECKS@", kLinkChecks);
  ReplaceAll(&sql, "@ROOT@", std::to_string(kRootNid));
  ReplaceAll(&sql, "@ADMIN@", std::to_string(kAdminNid));
  return db.Exec(sql, error);
}

}  // namespace hrzsrv
