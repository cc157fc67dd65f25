#include "client_statement.h"

#include <cctype>

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

}  // namespace

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
  if (db == nullptr) {
    error_ = "client SQL is not served on this store";
    return false;
  }
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

void ClientStatement::AuditRefusal(std::string_view table, std::int64_t target,
                                   std::string_view reason) {
  const std::string text = std::string(reason) + ": " + sql_.substr(0, kAuditedSql);
  WriteAudit(context_, {audit::kRefused, table, target, "client SQL", text});
}

}  // namespace hrzsrv
