// Thin RAII over the SQLite C interface for the engine's own statements.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace hrzsrv {

struct SqliteCloser {
  void operator()(sqlite3* db) const;
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

// Opens (or creates) a store file in WAL mode with a busy time-out, so that sessions on
// their own connections wait for each other's short write transactions. The connection
// keeps the statements it has prepared for the next use of the same text.
SqliteHandle OpenSqlite(const std::string& path, bool create, std::string* error);
// Runs statements without results; false with the reason in error.
bool ExecSql(sqlite3* db, const char* sql, std::string* error);

// One prepared statement; binds are 1-based, columns 0-based. Taken from the connection's
// cache of statements when one of the same text is free, and handed back to it at the end.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, double value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindBlob(int index, const void* data, std::size_t size);
  Statement& BindNull(int index);
  // True while a row is available.
  bool Row();
  // True when the statement ran to completion.
  bool Done();
  std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  double Real(int column) const { return sqlite3_column_double(stmt_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  // The column's value as SQLite holds it, valid until the next step.
  sqlite3_value* Value(int column) const { return sqlite3_column_value(stmt_, column); }
  std::string Text(int column) const;
  std::string Blob(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  int last_ = SQLITE_OK;
};

// BEGIN IMMEDIATE ... COMMIT; rolls back unless Commit() succeeded.
class Transaction {
 public:
  explicit Transaction(sqlite3* db);
  ~Transaction();
  bool ok() const { return begun_; }
  bool Commit();

 private:
  sqlite3* db_;
  bool begun_ = false;
  bool committed_ = false;
};

}  // namespace hrzsrv
