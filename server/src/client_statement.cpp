#include "client_statement.h"

#include <cctype>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "audit.h"
#include "rights.h"
#include "sqlite_store_db.h"

namespace hrzsrv {
namespace {

// The audit log keeps the start of a refused statement.
constexpr std::size_t kAuditedSql = 1000;

bool OnlyBlanks(const char* text) {
  for (; text != nullptr && *text != '\0'; ++text) {
    if (!std::isspace(static_cast<unsigned char>(*text)) && *text != ';') return false;
  }
  return true;
}

// One statement on an SQLite store from prepare to commit. A statement that writes is first
// checked for the tables and columns it writes, then runs in a transaction of its own with
// every row it writes checked; it commits only when each row was within the session's
// rights, and otherwise changes nothing.
class ClientStatement {
 public:
  ClientStatement(Context& context, const std::string& sql);
  ~ClientStatement();
  ClientStatement(const ClientStatement&) = delete;
  ClientStatement& operator=(const ClientStatement&) = delete;

  // Null, with the reason in error(), when the statement was refused or does not prepare.
  sqlite3_stmt* get() const { return stmt_.get(); }
  const std::string& error() const { return error_; }

  // Steps to the end, handing each result row to onRow, which may stop the run with a
  // reason. True when the statement ran and its writes were committed.
  using RowSink = std::function<bool(sqlite3_stmt*, std::string* error)>;
  bool Run(const RowSink& onRow, std::string* error);
  // Rows the statement changed, after Run.
  int changes() const { return changes_; }

 private:
  struct StmtCloser {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
  };
  bool Prepare(const std::string& sql);
  bool CheckWrites();
  void AuditRefusal(std::string_view table, std::int64_t target, std::string_view reason) {
    AuditClientSqlRefusal(context_, sql_, table, target, reason);
  }

  Context& context_;
  const std::string& sql_;
  std::unique_ptr<sqlite3_stmt, StmtCloser> stmt_;
  std::optional<Transaction> transaction_;  // held while a writing statement runs
  std::string error_;
  int changes_ = 0;
};

ClientStatement::ClientStatement(Context& context, const std::string& sql)
    : context_(context), sql_(sql) {
  if (Prepare(sql) && !CheckWrites()) stmt_.reset();
}

ClientStatement::~ClientStatement() {
  ClientSqlGuard& guard = context_.session.sqlGuard;
  guard.SetChecking(false);
  guard.Disarm();
  stmt_.reset();
  transaction_.reset();  // rolls back whatever did not commit
}

bool ClientStatement::Prepare(const std::string& sql) {
  sqlite3* db = context_.db().sqlite();
  ClientSqlGuard& guard = context_.session.sqlGuard;
  guard.StartStatement();
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
  guard.SetChecking(false);
  stmt_.reset(raw);
  if (rc != SQLITE_OK) {
    error_ = sqlite3_errmsg(db);
    if ((rc & 0xff) == SQLITE_AUTH) AuditRefusal("SQL", -1, error_);
    return false;
  }
  if (!stmt_) {
    error_ = "empty SQL";
    return false;
  }
  if (!OnlyBlanks(tail)) {
    error_ = "one statement per request";
    stmt_.reset();
    return false;
  }
  return true;
}

// Statement level: the tables and columns the authorizer saw written. Rows come later.
bool ClientStatement::CheckWrites() {
  ClientSqlGuard& guard = context_.session.sqlGuard;
  if (sqlite3_stmt_readonly(stmt_.get()) && guard.Writes().empty()) return true;
  StoreDb& db = context_.db();
  const Rights rights = RightsOf(db, context_.session);
  for (const StatementWrite& write : guard.Writes()) {
    const std::string reason = RefuseStatementWrite(rights, write.kind, write.table, write.column);
    if (!reason.empty()) {
      error_ = "refused: " + reason;
      AuditRefusal(write.table, -1, reason);
      return false;
    }
  }
  transaction_.emplace(db);
  if (!transaction_->ok()) {
    error_ = db.LastError();
    transaction_.reset();
    return false;
  }
  guard.Arm(rights);
  return true;
}

bool ClientStatement::Run(const RowSink& onRow, std::string* error) {
  sqlite3* db = context_.db().sqlite();
  ClientSqlGuard& guard = context_.session.sqlGuard;
  int rc = SQLITE_OK;
  bool stopped = false;
  for (;;) {
    // A re-prepare during the step passes the authorizer again.
    guard.SetChecking(true);
    rc = sqlite3_step(stmt_.get());
    guard.SetChecking(false);
    if (rc != SQLITE_ROW) break;
    if (onRow && !onRow(stmt_.get(), error)) {
      stopped = true;
      break;
    }
  }
  const bool brokeRule =
      !stopped && rc != SQLITE_DONE &&
      SqliteFailureOf(sqlite3_extended_errcode(db)) == StoreFailure::kOrganisationRule;
  if (!stopped && rc != SQLITE_DONE) *error = sqlite3_errmsg(db);
  changes_ = sqlite3_changes(db);
  sqlite3_reset(stmt_.get());
  ClientSqlGuard::Outcome outcome = guard.Disarm();
  if (!outcome.refusal.empty()) {
    transaction_.reset();
    *error = "refused: " + outcome.refusal;
    AuditRefusal(outcome.table, outcome.target, outcome.refusal);
    return false;
  }
  if (brokeRule) {
    transaction_.reset();
    const std::vector<StatementWrite>& writes = guard.Writes();
    AuditRefusal(writes.empty() ? "SQL" : writes.front().table, -1, *error);
    *error = "refused: " + *error;
    return false;
  }
  if (stopped || rc != SQLITE_DONE) return false;
  if (!transaction_) return true;
  if (!WriteRightsChanges(context_, outcome.notes)) {
    *error = "the audit log cannot be written";
    return false;
  }
  if (!transaction_->Commit()) {
    *error = sqlite3_errmsg(db);
    return false;
  }
  transaction_.reset();
  return true;
}

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

ClientSqlOutcome RunSqliteClientSql(Context& context, const std::string& sql,
                                    wire::ResultSetWriter* result) {
  ClientSqlScope scope(context.engine.limits, context.session);
  ClientStatement statement(context, sql);
  sqlite3_stmt* s = statement.get();
  if (s == nullptr) return ClientSqlOutcome::Failure(statement.error());
  ClientStatement::RowSink onRow;
  bool tooLarge = false;
  if (result != nullptr) {
    const int columns = sqlite3_column_count(s);
    for (int c = 0; c < columns; ++c) {
      const char* name = sqlite3_column_name(s, c);
      result->AddColumn(name ? name : "");
    }
    onRow = [&, columns](sqlite3_stmt* row, std::string* stop) {
      AppendRow(row, columns, result);
      if (result->RowBytes() <= protocol::kMaxResultPayload) return true;
      tooLarge = true;
      *stop = "result too large";
      return false;
    };
  }
  std::string error;
  const bool ran = statement.Run(onRow, &error);
  if (tooLarge) return ClientSqlOutcome::Stopped(protocol::kResultTooLarge);
  if (!ran && context.session.sqlTimedOut) return ClientSqlOutcome::Stopped(protocol::kTimeLimit);
  if (!ran) return ClientSqlOutcome::Failure(error);
  return ClientSqlOutcome::Done(statement.changes());
}

}  // namespace

ClientSqlOutcome RunClientSql(Context& context, const std::string& sql,
                              wire::ResultSetWriter* result) {
  if (context.db().postgres() != nullptr) return RunPgClientSql(context, sql, result);
  return RunSqliteClientSql(context, sql, result);
}

void AuditClientSqlRefusal(Context& context, std::string_view sql, std::string_view table,
                           std::int64_t target, std::string_view reason) {
  const std::string text = std::string(reason) + ": " + std::string(sql.substr(0, kAuditedSql));
  WriteAudit(context, {audit::kRefused, table, target, "client SQL", text});
}

}  // namespace hrzsrv
