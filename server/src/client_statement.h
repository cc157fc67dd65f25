// One statement of client SQL from prepare to commit. A statement that only reads runs as
// it is. A statement that writes is first checked for the tables and columns it writes,
// then runs in a transaction of its own with every row it writes checked; it commits only
// when each row was within the session's rights, and otherwise changes nothing. Refusals
// and the rights changes made go to the audit log.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dispatch.h"

namespace hrzsrv {

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
  void AuditRefusal(std::string_view table, std::int64_t target, std::string_view reason);

  Context& context_;
  const std::string& sql_;
  std::unique_ptr<sqlite3_stmt, StmtCloser> stmt_;
  std::optional<Transaction> transaction_;  // held while a writing statement runs
  std::string error_;
  int changes_ = 0;
};

}  // namespace hrzsrv
