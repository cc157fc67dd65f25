#include "sqlite_store_db.h"

#include <chrono>

#include "statement_cache.h"
#include "writer_turns.h"

namespace hrzsrv {
namespace {

// How long a connection waits for the write lock, first for its turn among the writers of
// this process, then in SQLite's busy handler for writers of other processes.
constexpr int kBusyMs = 10000;

}  // namespace

StoreFailure SqliteFailureOf(int code) {
  switch (code) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return StoreFailure::kNone;
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
      return StoreFailure::kUnique;
    // The only triggers of the store that raise are the organisation's link rules.
    case SQLITE_CONSTRAINT_TRIGGER:
      return StoreFailure::kOrganisationRule;
    default:
      return StoreFailure::kOther;
  }
}

namespace {

class SqliteStoreDb;

class SqliteStatement final : public StoreStatement {
 public:
  SqliteStatement(SqliteStoreDb& db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  ~SqliteStatement() override;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  void BindInt(int index, std::int64_t value) override { sqlite3_bind_int64(stmt_, index, value); }
  void BindReal(int index, double value) override { sqlite3_bind_double(stmt_, index, value); }
  void BindText(int index, std::string_view text) override {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void BindBlob(int index, std::string_view bytes) override {
    // An empty blob is a zero-length value, not NULL.
    sqlite3_bind_blob(stmt_, index, bytes.empty() ? "" : bytes.data(),
                      static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  }
  void BindNull(int index) override { sqlite3_bind_null(stmt_, index); }
  bool Step() override;
  bool Failed() const override { return SqliteFailureOf(last_) != StoreFailure::kNone; }
  int Columns() const override { return sqlite3_column_count(stmt_); }
  bool IsNull(int column) const override {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
  }
  std::int64_t Int(int column) const override { return sqlite3_column_int64(stmt_, column); }
  double Real(int column) const override { return sqlite3_column_double(stmt_, column); }
  std::string Text(int column) const override {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text != nullptr ? std::string(text, sqlite3_column_bytes(stmt_, column)) : std::string();
  }
  std::string Blob(int column) const override {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return data != nullptr ? std::string(data, sqlite3_column_bytes(stmt_, column)) : std::string();
  }
  Cell CellAt(int column) const override { return CellOf(sqlite3_column_value(stmt_, column)); }

 private:
  SqliteStoreDb& db_;
  sqlite3_stmt* stmt_;
  int last_ = SQLITE_OK;
  bool running_ = false;   // stepped since its last row or failure
  bool finished_ = false;  // ran to its end or failed
  bool ownsTurn_ = false;  // a write outside a transaction, holding the writers' turn
};

class SqliteStoreDb final : public StoreDb {
 public:
  explicit SqliteStoreDb(sqlite3* db) : handle_(db), db_(db), cache_(db) {}
  ~SqliteStoreDb() override {
    if (holdsTurn_) Rollback();
  }
  SqliteStoreDb(const SqliteStoreDb&) = delete;
  SqliteStoreDb& operator=(const SqliteStoreDb&) = delete;

  StoreKind kind() const override { return StoreKind::kSqlite; }
  std::unique_ptr<StoreStatement> Prepare(std::string_view sql) override {
    last_ = SQLITE_OK;
    sqlite3_stmt* stmt = cache_.Take(sql);
    if (stmt == nullptr) {
      const int code = sqlite3_extended_errcode(db_);
      // Text with no statement in it prepares to nothing, without an error of its own.
      Note(code != SQLITE_OK ? code : SQLITE_MISUSE,
           code != SQLITE_OK ? sqlite3_errmsg(db_) : "no statement");
      return nullptr;
    }
    return std::make_unique<SqliteStatement>(*this, stmt);
  }
  bool Exec(std::string_view script, std::string* error) override;
  bool BeginWrite() override;
  bool Commit() override;
  void Rollback() override;
  std::int64_t LastInsertId() override { return sqlite3_last_insert_rowid(db_); }
  std::int64_t Changes() override { return sqlite3_changes64(db_); }
  StoreFailure LastFailure() const override { return SqliteFailureOf(last_); }
  std::string LastError() const override { return error_; }
  sqlite3* sqlite() override { return db_; }
  void LimitWait(std::chrono::milliseconds wait) override {
    wait_ = wait;
    sqlite3_busy_timeout(db_, static_cast<int>(wait.count()));
  }

  bool Open(const std::string& path, std::string* error);
  void GiveBack(sqlite3_stmt* stmt) { cache_.GiveBack(stmt); }
  void Note(int code, const char* message) {
    last_ = code;
    error_ = message != nullptr ? message : sqlite3_errstr(code);
  }
  // The writers' turn for a write outside a transaction, as BeginWrite takes it for one;
  // false when it did not come (and the write fails as busy). *took tells whether this call
  // took it, so that the statement gives it back when it ends.
  bool TakeTurnFor(sqlite3_stmt* stmt, bool* took);
  void EndTurn() {
    if (holdsTurn_) turns_->Release();
    holdsTurn_ = false;
  }

 private:
  // Runs a statement of the connection's own that returns no rows.
  bool Run(const char* sql);
  bool TakeTurn();

  struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
  };
  // Closed after the cache has finalized its statements.
  std::unique_ptr<sqlite3, Closer> handle_;
  sqlite3* db_;
  StatementCache cache_;
  std::shared_ptr<WriterTurns> turns_;  // null for a store without a file
  bool holdsTurn_ = false;
  std::chrono::milliseconds wait_{kBusyMs};
  int last_ = SQLITE_OK;
  std::string error_;
};

SqliteStatement::~SqliteStatement() {
  db_.GiveBack(stmt_);  // a write left before its end finishes here, inside its turn
  if (ownsTurn_) db_.EndTurn();
}

bool SqliteStatement::Step() {
  // SQLite would start the statement again; a statement of the store runs once.
  if (finished_) return false;
  if (!running_) {
    running_ = true;
    if (!db_.TakeTurnFor(stmt_, &ownsTurn_)) {
      running_ = false;
      ownsTurn_ = false;
      last_ = SQLITE_BUSY;
      return false;
    }
  }
  last_ = sqlite3_step(stmt_);
  if (last_ == SQLITE_ROW) return true;
  if (last_ != SQLITE_DONE) db_.Note(last_, sqlite3_errmsg(sqlite3_db_handle(stmt_)));
  running_ = false;
  finished_ = true;
  if (ownsTurn_) db_.EndTurn();
  ownsTurn_ = false;
  return false;
}

bool SqliteStoreDb::Exec(std::string_view script, std::string* error) {
  const std::string text(script);
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return true;
  Note(sqlite3_extended_errcode(db_), message != nullptr ? message : sqlite3_errmsg(db_));
  sqlite3_free(message);
  if (error) *error = error_;
  return false;
}

bool SqliteStoreDb::Run(const char* sql) {
  std::unique_ptr<StoreStatement> statement = Prepare(sql);
  if (!statement) return false;
  while (statement->Step()) {
  }
  return !statement->Failed();
}

bool SqliteStoreDb::TakeTurn() {
  if (!turns_->Take(wait_)) {
    Note(SQLITE_BUSY, "the store is busy with other writers");
    return false;
  }
  holdsTurn_ = true;
  return true;
}

bool SqliteStoreDb::TakeTurnFor(sqlite3_stmt* stmt, bool* took) {
  // Inside a transaction the turn is the transaction's; reads never need one.
  *took = turns_ && !holdsTurn_ && !sqlite3_stmt_readonly(stmt) && sqlite3_get_autocommit(db_) != 0;
  return !*took || TakeTurn();
}

bool SqliteStoreDb::BeginWrite() {
  // Inside a transaction already, BEGIN fails at once as it always has; it must not wait
  // for the turn this connection holds itself.
  const bool queue = turns_ && !holdsTurn_ && sqlite3_get_autocommit(db_) != 0;
  if (queue && !TakeTurn()) return false;
  if (Run("BEGIN IMMEDIATE")) return true;
  if (queue) EndTurn();
  return false;
}

bool SqliteStoreDb::Commit() {
  if (!Run("COMMIT")) return false;  // still open: the caller rolls back
  EndTurn();
  return true;
}

void SqliteStoreDb::Rollback() {
  Run("ROLLBACK");
  EndTurn();
}

bool SqliteStoreDb::Open(const std::string& path, std::string* error) {
  sqlite3_busy_timeout(db_, kBusyMs);
  sqlite3_extended_result_codes(db_, 1);
  // FULL syncs the log at every commit: a change that was answered survives a crash.
  // Recursive triggers make the rows that a REPLACE removes pass the delete triggers too.
  // Reads map the file: every session's connection then shares the system's page cache
  // instead of copying pages into a cache of its own with a read call each.
  if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON; "
            "PRAGMA recursive_triggers=ON; PRAGMA mmap_size=1073741824;",
            error)) {
    if (error) *error = "cannot open store " + path + ": " + *error;
    return false;
  }
  const char* file = sqlite3_db_filename(db_, "main");
  if (file != nullptr && *file != '\0') turns_ = WriterTurns::ForFile(file);
  return true;
}

}  // namespace

std::unique_ptr<StoreDb> OpenSqliteStoreDb(const std::string& path, bool create,
                                           std::string* error) {
  sqlite3* raw = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (create) flags |= SQLITE_OPEN_CREATE;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  auto db = std::make_unique<SqliteStoreDb>(raw);
  if (rc != SQLITE_OK) {
    if (error) *error = "cannot open store " + path + ": " + sqlite3_errstr(rc);
    return nullptr;
  }
  if (!db->Open(path, error)) return nullptr;
  return db;
}

}  // namespace hrzsrv
