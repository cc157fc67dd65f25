// Client SQL on a PostgreSQL store: a session's own connection, logged on as a client role of
// the database (never the server's user with a role set, which a statement could reset), and
// one statement at a time run on it under the session's rights. The engine's connection (the
// owner's) writes those rights for the triggers before the statement and takes the rights
// changes it made afterwards (docs/postgresql.md).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "hrzcommon/protocol.h"
#include "hrzcommon/result_set.h"
#include "hrzserver/pg_db.h"
#include "write_rules.h"

struct pg_conn;
struct pg_cancel;
struct pg_result;

namespace hrzsrv {

struct PgClientOutcome {
  enum class Status {
    kDone,
    kFailed,       // error holds the answer: PostgreSQL's message, or "refused: ..."
    kTimedOut,     // stopped at the time limit
    kStopped,      // stopped because the client went
    kTooLarge,     // the rows passed the result's limit
    kStoreFailed,  // the owner's connection could not write the rights or read the notes
  };
  Status status = Status::kFailed;
  std::string error;
  // A refusal the audit log keeps, as client SQL's refusals on SQLite: the table, the row's
  // NID (-1 for none) and the reason.
  struct Refusal {
    std::string table;
    std::int64_t target = -1;
    std::string reason;
  };
  std::optional<Refusal> refusal;
  std::int64_t changes = 0;       // rows inserted, updated or deleted
  std::vector<RightsNote> notes;  // the rights changes the statement committed
};

class PgClientSql {
 public:
  // Opens the client connection of a session on the database of location (a postgresql://
  // location; its user and password are replaced by the client role's), as the
  // administrator's role or the other one. limit becomes the connection's statement_timeout
  // (zero or less: none). owner is the engine's connection to the same database, outside a
  // transaction. Null, with the reason in error, when it cannot open.
  static std::unique_ptr<PgClientSql> Open(pg::Connection& owner, const std::string& location,
                                           bool admin, std::chrono::milliseconds limit,
                                           std::string* error);
  ~PgClientSql();
  PgClientSql(const PgClientSql&) = delete;
  PgClientSql& operator=(const PgClientSql&) = delete;

  // The backend process the session's rights are kept under.
  int BackendPid() const { return pid_; }

  // Runs one statement of sql with rights. The rows of a query go to result: its columns
  // (a table's columns named in upper case, as the SQLite store names them), then a row at a
  // time until their bytes pass maxRowBytes. owner is outside a transaction.
  PgClientOutcome Run(pg::Connection& owner, const Rights& rights, const std::string& sql,
                      hrz::wire::ResultSetWriter* result,
                      std::size_t maxRowBytes = hrz::protocol::kMaxResultPayload);

  // The client has gone: the running statement stops and every later one is refused. Safe
  // from any thread.
  void ClientGone();

 private:
  PgClientSql(pg_conn* conn, pg_cancel* cancel);
  bool ReadTableColumns(std::string* error);
  void Stop();
  std::string ColumnName(const pg_result* result, int column) const;

  pg_conn* conn_;
  pg_cancel* cancel_;
  int pid_ = 0;
  std::atomic<bool> gone_{false};
  // The organisation's column names by table and place, for result columns that are plain
  // table columns.
  std::map<std::pair<unsigned, int>, std::string> tableColumns_;
};

}  // namespace hrzsrv
