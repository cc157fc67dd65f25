// Client SQL: every statement runs as a ClientStatement, under the session's rights.
#include "client_statement.h"
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

}  // namespace

Reply Query(Context& context, wire::BodyReader& in) {
  std::string sql, error;
  if (!in.NextLong(&sql, kMaxSqlText)) return Reply::BadMessage();
  ClientStatement statement(context, sql);
  sqlite3_stmt* s = statement.get();
  if (s == nullptr) return Reply::Failure(statement.error());
  const int columns = sqlite3_column_count(s);
  wire::ResultSetWriter result;
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(s, c);
    result.AddColumn(name ? name : "");
  }
  const bool ran = statement.Run(
      [&](sqlite3_stmt* row, std::string* stop) {
        AppendRow(row, columns, &result);
        if (result.RowBytes() <= kMaxResultPayload) return true;
        *stop = "result too large";
        return false;
      },
      &error);
  if (!ran) return Reply::Failure(error);
  wire::BodyWriter body;
  body.PutLong(result.Finish());
  return Reply::With(protocol::kOk, body);
}

Reply Execute(Context& context, wire::BodyReader& in) {
  std::string sql, error;
  if (!in.NextLong(&sql, kMaxSqlText)) return Reply::BadMessage();
  ClientStatement statement(context, sql);
  if (statement.get() == nullptr) return Reply::Failure(statement.error());
  if (!statement.Run(nullptr, &error)) return Reply::Failure(error);
  wire::BodyWriter body;
  body.PutInt32(statement.changes());
  return Reply::With(protocol::kOk, body);
}

}  // namespace hrzsrv::handlers
