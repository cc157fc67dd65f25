// Client SQL: every statement is prepared and run under the client authorizer.
#include <cctype>
#include <memory>

#include "handlers.h"
#include "hrzcommon/result_set.h"

namespace hrzsrv::handlers {
namespace {

constexpr std::size_t kMaxSqlText = 1024 * 1024;
constexpr std::size_t kMaxResultPayload = 48u * 1024u * 1024u;

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

bool OnlyBlanks(const char* text) {
  for (; text != nullptr && *text != '\0'; ++text) {
    if (!std::isspace(static_cast<unsigned char>(*text)) && *text != ';') return false;
  }
  return true;
}

// Raises the authorizer flag for the whole life of a client statement, so a re-prepare
// during a step is checked too.
class ClientSqlScope {
 public:
  explicit ClientSqlScope(SessionState& session) : session_(session) {
    session_.clientSqlActive = true;
  }
  ~ClientSqlScope() { session_.clientSqlActive = false; }

 private:
  SessionState& session_;
};

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
  if (!in.NextLong(&sql, kMaxSqlText)) return Reply::BadMessage();
  ClientSqlScope scope(context.session);
  StmtHandle stmt = PrepareClientSql(context.db(), sql, &error);
  if (!stmt) return Reply::Failure(error);
  sqlite3_stmt* s = stmt.get();
  const int columns = sqlite3_column_count(s);
  wire::ResultSetWriter result;
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(s, c);
    result.AddColumn(name ? name : "");
  }
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) {
      const protocol::CellType cell = CellTypeOf(sqlite3_column_type(s, c));
      const void* data =
          cell == protocol::kCellBlob ? sqlite3_column_blob(s, c) : sqlite3_column_text(s, c);
      const std::size_t size = data ? static_cast<std::size_t>(sqlite3_column_bytes(s, c)) : 0;
      result.AddCell(cell, std::string_view(static_cast<const char*>(data), size));
    }
    result.EndRow();
    if (result.RowBytes() > kMaxResultPayload) return Reply::Failure("result too large");
  }
  if (rc != SQLITE_DONE) return Reply::Failure(sqlite3_errmsg(context.db()));
  wire::BodyWriter body;
  body.PutLong(result.Finish());
  return Reply::With(protocol::kOk, body);
}

Reply Execute(Context& context, wire::BodyReader& in) {
  std::string sql, error;
  if (!in.NextLong(&sql, kMaxSqlText)) return Reply::BadMessage();
  ClientSqlScope scope(context.session);
  StmtHandle stmt = PrepareClientSql(context.db(), sql, &error);
  if (!stmt) return Reply::Failure(error);
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) return Reply::Failure(sqlite3_errmsg(context.db()));
  wire::BodyWriter body;
  body.PutInt32(sqlite3_changes(context.db()));
  return Reply::With(protocol::kOk, body);
}

}  // namespace hrzsrv::handlers
