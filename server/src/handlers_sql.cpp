// Client SQL: every statement runs as a ClientStatement, under the session's rights.
#include <cstring>

#include "client_statement.h"
#include "handlers.h"

namespace hrzsrv::handlers {
namespace {

constexpr std::size_t kMaxSqlText = 1024 * 1024;
constexpr std::size_t kMaxResultPayload = 48u * 1024u * 1024u;

void AppendU32(std::string* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

void AppendText(std::string* out, const void* data, std::size_t size) {
  AppendU32(out, static_cast<std::uint32_t>(size));
  out->append(static_cast<const char*>(data), size);
}

void AppendRow(sqlite3_stmt* s, int columns, std::string* rows) {
  for (int c = 0; c < columns; ++c) {
    const int type = sqlite3_column_type(s, c);
    std::uint8_t cell = protocol::kCellText;
    if (type == SQLITE_NULL) cell = protocol::kCellNull;
    if (type == SQLITE_INTEGER) cell = protocol::kCellInteger;
    if (type == SQLITE_FLOAT) cell = protocol::kCellReal;
    if (type == SQLITE_BLOB) cell = protocol::kCellBlob;
    rows->push_back(static_cast<char>(cell));
    const void* data =
        cell == protocol::kCellBlob ? sqlite3_column_blob(s, c) : sqlite3_column_text(s, c);
    AppendText(rows, data, data ? static_cast<std::size_t>(sqlite3_column_bytes(s, c)) : 0);
  }
}

}  // namespace

Reply Query(Context& context, wire::BodyReader& in) {
  std::string sql, error;
  if (!in.NextLong(&sql, kMaxSqlText)) return Reply::BadMessage();
  ClientStatement statement(context, sql);
  sqlite3_stmt* s = statement.get();
  if (s == nullptr) return Reply::Failure(statement.error());
  const int columns = sqlite3_column_count(s);
  std::string payload;
  AppendU32(&payload, static_cast<std::uint32_t>(columns));
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(s, c);
    AppendText(&payload, name ? name : "", name ? std::strlen(name) : 0);
  }
  std::string rows;
  std::uint32_t rowCount = 0;
  const bool ran = statement.Run(
      [&](sqlite3_stmt* row, std::string* stop) {
        AppendRow(row, columns, &rows);
        ++rowCount;
        if (rows.size() <= kMaxResultPayload) return true;
        *stop = "result too large";
        return false;
      },
      &error);
  if (!ran) return Reply::Failure(error);
  AppendU32(&payload, rowCount);
  payload += rows;
  wire::BodyWriter body;
  body.PutLong(payload);
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
