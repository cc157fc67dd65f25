// Client SQL on a PostgreSQL store: the session's statement runs on its connection as a client
// role, and what it came to is answered and audited as on SQLite.
#include "audit.h"
#include "client_statement.h"
#include "hrzserver/log.h"
#include "pg_client_sql.h"
#include "rights.h"

namespace hrzsrv {
namespace {

using Status = PgClientOutcome::Status;

// A failure of the server's side: logged, and answered without its details, as a failed
// store is on SQLite.
ClientSqlOutcome ServerError(const SessionState& session, const std::string& error) {
  Log(LogLevel::Error, "client SQL", {{"peer", session.peer}, {"reason", error}});
  return ClientSqlOutcome::Stopped(protocol::kServerError);
}

// The rights changes a statement committed; the statement itself is committed already, so a
// failure here is answered as on SQLite but cannot undo it.
bool KeepRightsChanges(Context& context, const std::vector<RightsNote>& notes) {
  if (notes.empty()) return true;
  Transaction transaction(context.db());
  return transaction.ok() && WriteRightsChanges(context, notes) && transaction.Commit();
}

}  // namespace

ClientSqlOutcome RunPgClientSql(Context& context, const std::string& sql,
                                wire::ResultSetWriter* result) {
  SessionState& session = context.session;
  pg::Connection& owner = *context.db().postgres();
  std::string error;
  PgClientSql* client = session.pgClient.Get(owner, context.engine.path, session.IsAdmin(),
                                             context.engine.limits.statementTimeLimit, &error);
  if (client == nullptr) return ServerError(session, error);
  const PgClientOutcome outcome = client->Run(owner, RightsOf(context.db(), session), sql, result);
  if (outcome.refusal) {
    AuditClientSqlRefusal(context, sql, outcome.refusal->table, outcome.refusal->target,
                          outcome.refusal->reason);
  }
  switch (outcome.status) {
    case Status::kDone:
      break;
    case Status::kTimedOut:
      return ClientSqlOutcome::Stopped(protocol::kTimeLimit);
    case Status::kTooLarge:
      return ClientSqlOutcome::Stopped(protocol::kResultTooLarge);
    case Status::kStoreFailed:
      return ServerError(session, outcome.error);
    case Status::kFailed:
    case Status::kStopped:
      return ClientSqlOutcome::Failure(outcome.error);
  }
  if (!KeepRightsChanges(context, outcome.notes)) {
    return ClientSqlOutcome::Failure("the audit log cannot be written");
  }
  return ClientSqlOutcome::Done(outcome.changes);
}

}  // namespace hrzsrv
