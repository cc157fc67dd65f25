// Client SQL: one statement of a query or execute request, run for the session on its store
// under its rights and the engine's time limit. On SQLite it passes the authorizer and the
// row hook on the session's own connection; on PostgreSQL it runs on the session's connection
// as a client role (pg_client_sql.h). Refusals and the rights changes made go to the audit
// log alike on both.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "dispatch.h"
#include "hrzcommon/result_set.h"

namespace hrzsrv {

// What a statement came to: the reply's status (kOk; kFailed with error as its text;
// kTimeLimit, kResultTooLarge, kServerError) and the rows a write changed.
struct ClientSqlOutcome {
  std::uint8_t status = protocol::kOk;
  std::string error;
  std::int64_t changes = 0;

  static ClientSqlOutcome Done(std::int64_t changes) { return {protocol::kOk, {}, changes}; }
  static ClientSqlOutcome Failure(std::string error) {
    return {protocol::kFailed, std::move(error), 0};
  }
  // Stopped at a limit, or a failure of the server's own (kServerError).
  static ClientSqlOutcome Stopped(std::uint8_t status) { return {status, {}, 0}; }
};

// Runs sql for the session. The rows of a query go to result, after its column names; with
// null the statement runs for its changes alone.
ClientSqlOutcome RunClientSql(Context& context, const std::string& sql,
                              wire::ResultSetWriter* result);

// Writes a refusal of client SQL to the audit log: the table and row refused (-1 none), the
// reason and the start of the statement.
void AuditClientSqlRefusal(Context& context, std::string_view sql, std::string_view table,
                           std::int64_t target, std::string_view reason);

// RunClientSql on a PostgreSQL store (pg_client_statement.cpp).
ClientSqlOutcome RunPgClientSql(Context& context, const std::string& sql,
                                wire::ResultSetWriter* result);

}  // namespace hrzsrv
