// Client SQL: the query and execute requests. The statement runs on the session's store
// (client_statement.h); these read its text and write the reply.
#include <optional>

#include "client_statement.h"
#include "handlers.h"

namespace hrzsrv::handlers {
namespace {

// Reads the SQL text of a query or execute; the status to answer when it cannot.
std::optional<Reply> ReadSql(wire::BodyReader& in, std::string* sql) {
  if (in.NextLong(sql, protocol::kMaxSqlText)) return std::nullopt;
  return Reply::Status(in.OverLimit() ? protocol::kSqlTooLong : protocol::kBadMessage);
}

// The answer to a statement that did not run to its end.
Reply NotDone(const ClientSqlOutcome& outcome) {
  if (outcome.status == protocol::kFailed) return Reply::Failure(outcome.error);
  return Reply::Status(outcome.status);
}

}  // namespace

Reply Query(Context& context, wire::BodyReader& in) {
  std::string sql;
  if (auto refused = ReadSql(in, &sql)) return *refused;
  wire::ResultSetWriter result;
  const ClientSqlOutcome outcome = RunClientSql(context, sql, &result);
  if (outcome.status != protocol::kOk) return NotDone(outcome);
  wire::BodyWriter body;
  body.PutLong(result.Finish());
  return Reply::With(protocol::kOk, body);
}

Reply Execute(Context& context, wire::BodyReader& in) {
  std::string sql;
  if (auto refused = ReadSql(in, &sql)) return *refused;
  const ClientSqlOutcome outcome = RunClientSql(context, sql, nullptr);
  if (outcome.status != protocol::kOk) return NotDone(outcome);
  wire::BodyWriter body;
  body.PutInt32(static_cast<std::int32_t>(outcome.changes));
  return Reply::With(protocol::kOk, body);
}

}  // namespace hrzsrv::handlers
