#include "sqlite_db.h"

#include "statement_cache.h"

namespace hrzsrv {

void SqliteCloser::operator()(sqlite3* db) const {
  CloseWithCache(db);
}

SqliteHandle OpenSqlite(const std::string& path, bool create, std::string* error) {
  sqlite3* raw = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (create) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  SqliteHandle db(raw);
  if (rc != SQLITE_OK) {
    if (error) *error = "cannot open store " + path + ": " + sqlite3_errstr(rc);
    return nullptr;
  }
  AddStatementCache(db.get());
  sqlite3_busy_timeout(db.get(), 10000);
  sqlite3_extended_result_codes(db.get(), 1);
  // FULL syncs the log at every commit: a change that was answered survives a crash.
  // Recursive triggers make the rows that a REPLACE removes pass the delete triggers too.
  // Reads map the file: every session's connection then shares the system's page cache
  // instead of copying pages into a cache of its own with a read call each.
  if (!ExecSql(db.get(),
               "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON; "
               "PRAGMA recursive_triggers=ON; PRAGMA mmap_size=1073741824;",
               error)) {
    return nullptr;
  }
  return db;
}

bool ExecSql(sqlite3* db, const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  if (error) *error = message != nullptr ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db), stmt_(TakeStatement(db, sql)) {}

Statement::~Statement() {
  GiveBackStatement(db_, stmt_);
}

Statement& Statement::Bind(int index, std::int64_t value) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  if (stmt_) sqlite3_bind_double(stmt_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  if (stmt_) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, std::size_t size) {
  if (stmt_) {
    sqlite3_bind_blob(stmt_, index, size ? data : "", static_cast<int>(size), SQLITE_TRANSIENT);
  }
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (stmt_) sqlite3_bind_null(stmt_, index);
  return *this;
}

bool Statement::Row() {
  if (!stmt_) return false;
  last_ = sqlite3_step(stmt_);
  return last_ == SQLITE_ROW;
}

bool Statement::Done() {
  if (!stmt_) return false;
  while (Row()) {
  }
  return last_ == SQLITE_DONE;
}

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text != nullptr ? std::string(text, sqlite3_column_bytes(stmt_, column)) : std::string();
}

std::string Statement::Blob(int column) const {
  const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
  return data != nullptr ? std::string(data, sqlite3_column_bytes(stmt_, column)) : std::string();
}

Transaction::Transaction(sqlite3* db) : db_(db) {
  begun_ = Statement(db_, "BEGIN IMMEDIATE").Done();
}

Transaction::~Transaction() {
  if (begun_ && !committed_) Statement(db_, "ROLLBACK").Done();
}

bool Transaction::Commit() {
  if (!begun_ || committed_) return false;
  committed_ = Statement(db_, "COMMIT").Done();
  return committed_;
}

}  // namespace hrzsrv
