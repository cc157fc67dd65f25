// Client SQL: every statement is prepared and run under the client authorizer.
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>

#include "handlers.h"

namespace hrzsrv::handlers {
namespace {

void AppendU32(std::string* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

void AppendText(std::string* out, const void* data, std::size_t size) {
  AppendU32(out, static_cast<std::uint32_t>(size));
  out->append(static_cast<const char*>(data), size);
}

bool OnlyBlanks(const char* text) {
  for (; text != nullptr && *text != '\0'; ++text) {
    if (!std::isspace(static_cast<unsigned char>(*text)) && *text != ';') return false;
  }
  return true;
}

// Raises the authorizer flag for the whole life of a client statement, so a re-prepare
// during a step is checked too, and starts the statement's time limit.
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
Reply StepFailure(Context& context, int rc) {
  if (rc == SQLITE_INTERRUPT && context.session.sqlTimedOut) {
    return Reply::Status(protocol::kTimeLimit);
  }
  return Reply::Failure(sqlite3_errmsg(context.db()));
}

struct StmtCloser {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtCloser>;

// Prepares exactly one statement of client SQL; null with the reason in error.
StmtHandle PrepareClientSql(sqlite3* db, const std::string& sql, std::string* error) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
  StmtHandle stmt(raw);
  if (rc != SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    return nullptr;
  }
  if (!stmt) {
    *error = "empty SQL";
    return nullptr;
  }
  if (!OnlyBlanks(tail)) {
    *error = "one statement per request";
    return nullptr;
  }
  return stmt;
}

}  // namespace

Reply Query(Context& context, wire::BodyReader& in) {
  std::string sql, error;
  if (auto refused = ReadSql(in, &sql)) return *refused;
  ClientSqlScope scope(context.engine.limits, context.session);
  StmtHandle stmt = PrepareClientSql(context.db(), sql, &error);
  if (!stmt) return Reply::Failure(error);
  sqlite3_stmt* s = stmt.get();
  const int columns = sqlite3_column_count(s);
  std::string payload;
  AppendU32(&payload, static_cast<std::uint32_t>(columns));
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(s, c);
    AppendText(&payload, name ? name : "", name ? std::strlen(name) : 0);
  }
  std::string rows;
  std::uint32_t rowCount = 0;
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      const int type = sqlite3_column_type(s, c);
      std::uint8_t cell = protocol::kCellText;
      if (type == SQLITE_NULL) cell = protocol::kCellNull;
      if (type == SQLITE_INTEGER) cell = protocol::kCellInteger;
      if (type == SQLITE_FLOAT) cell = protocol::kCellReal;
      if (type == SQLITE_BLOB) cell = protocol::kCellBlob;
      rows.push_back(static_cast<char>(cell));
      const void* data =
          cell == protocol::kCellBlob ? sqlite3_column_blob(s, c) : sqlite3_column_text(s, c);
      AppendText(&rows, data, data ? static_cast<std::size_t>(sqlite3_column_bytes(s, c)) : 0);
    }
    ++rowCount;
    if (rows.size() > protocol::kMaxResultPayload) {
      return Reply::Status(protocol::kResultTooLarge);
    }
  }
  if (rc != SQLITE_DONE) return StepFailure(context, rc);
  AppendU32(&payload, rowCount);
  payload += rows;
  wire::BodyWriter body;
  body.PutLong(payload);
  return Reply::With(protocol::kOk, body);
}

Reply Execute(Context& context, wire::BodyReader& in) {
  std::string sql, error;
  if (auto refused = ReadSql(in, &sql)) return *refused;
  ClientSqlScope scope(context.engine.limits, context.session);
  StmtHandle stmt = PrepareClientSql(context.db(), sql, &error);
  if (!stmt) return Reply::Failure(error);
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) return StepFailure(context, rc);
  wire::BodyWriter body;
  body.PutInt32(sqlite3_changes(context.db()));
  return Reply::With(protocol::kOk, body);
}

}  // namespace hrzsrv::handlers
