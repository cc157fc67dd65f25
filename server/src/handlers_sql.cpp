// Client SQL: every statement runs as a ClientStatement, under the session's rights and the
// engine's time limit.
#include <optional>

#include "client_statement.h"
#include "handlers.h"
#include "hrzcommon/result_set.h"

namespace hrzsrv::handlers {
namespace {

protocol::CellType CellTypeOf(int sqliteType) {
  switch (sqliteType) {
    case SQLITE_NULL:
      return protocol::kCellNull;
    case SQLITE_INTEGER:
      return protocol::kCellInteger;
    case SQLITE_FLOAT:
      return protocol::kCellReal;
    case SQLITE_BLOB:
      return protocol::kCellBlob;
    default:
      return protocol::kCellText;
  }
}

void AppendRow(sqlite3_stmt* s, int columns, wire::ResultSetWriter* result) {
  for (int c = 0; c < columns; ++c) {
    const protocol::CellType cell = CellTypeOf(sqlite3_column_type(s, c));
    const void* data =
        cell == protocol::kCellBlob ? sqlite3_column_blob(s, c) : sqlite3_column_text(s, c);
    const std::size_t size = data ? static_cast<std::size_t>(sqlite3_column_bytes(s, c)) : 0;
    result->AddCell(cell, std::string_view(static_cast<const char*>(data), size));
  }
  result->EndRow();
}

// Lets the progress handler stop the statement while it runs: at the engine's time limit,
// or when its client has gone.
class ClientSqlScope {
 public:
  ClientSqlScope(const EngineLimits& limits, SessionState& session) : session_(session) {
    session_.clientSqlActive = true;
    session_.sqlTimedOut = false;
    session_.sqlDeadline = limits.statementTimeLimit.count() > 0
                               ? std::chrono::steady_clock::now() + limits.statementTimeLimit
                               : SteadyTime{};
  }
  ~ClientSqlScope() { session_.clientSqlActive = false; }

 private:
  SessionState& session_;
};

// Reads the SQL text of a query or execute; the status to answer when it cannot.
std::optional<Reply> ReadSql(wire::BodyReader& in, std::string* sql) {
  if (in.NextLong(sql, protocol::kMaxSqlText)) return std::nullopt;
  return Reply::Status(in.OverLimit() ? protocol::kSqlTooLong : protocol::kBadMessage);
}

// The answer to a statement that did not run to its end.
Reply RunFailure(const Context& context, const std::string& error) {
  if (context.session.sqlTimedOut) return Reply::Status(protocol::kTimeLimit);
  return Reply::Failure(error);
}

}  // namespace

Reply Query(Context& context, wire::BodyReader& in) {
  std::string sql, error;
  if (auto refused = ReadSql(in, &sql)) return *refused;
  ClientSqlScope scope(context.engine.limits, context.session);
  ClientStatement statement(context, sql);
  sqlite3_stmt* s = statement.get();
  if (s == nullptr) return Reply::Failure(statement.error());
  const int columns = sqlite3_column_count(s);
  wire::ResultSetWriter result;
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(s, c);
    result.AddColumn(name ? name : "");
  }
  bool tooLarge = false;
  const bool ran = statement.Run(
      [&](sqlite3_stmt* row, std::string* stop) {
        AppendRow(row, columns, &result);
        if (result.RowBytes() <= protocol::kMaxResultPayload) return true;
        tooLarge = true;
        *stop = "result too large";
        return false;
      },
      &error);
  if (tooLarge) return Reply::Status(protocol::kResultTooLarge);
  if (!ran) return RunFailure(context, error);
  wire::BodyWriter body;
  body.PutLong(result.Finish());
  return Reply::With(protocol::kOk, body);
}

Reply Execute(Context& context, wire::BodyReader& in) {
  std::string sql, error;
  if (auto refused = ReadSql(in, &sql)) return *refused;
  ClientSqlScope scope(context.engine.limits, context.session);
  ClientStatement statement(context, sql);
  if (statement.get() == nullptr) return Reply::Failure(statement.error());
  if (!statement.Run(nullptr, &error)) return RunFailure(context, error);
  wire::BodyWriter body;
  body.PutInt32(statement.changes());
  return Reply::With(protocol::kOk, body);
}

}  // namespace hrzsrv::handlers
