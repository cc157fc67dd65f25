// The checks that every statement of client SQL passes, installed on a session's connection.
// The authorizer keeps client SQL off the private tables ("SRV_*", "sqlite_*"), pragmas,
// attach, schema changes and transactions, and records which tables and columns a
// statement writes. The preupdate hook then sees every row the statement writes, as it was
// and as it becomes, and checks it against the write rules of the session.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store_db.h"
#include "write_rules.h"

namespace hrzsrv {

// A table and column that a statement writes (no column for an insert or a delete).
struct StatementWrite {
  WriteKind kind;
  std::string table;
  std::string column;
};

// Used by one session's thread only.
class ClientSqlGuard {
 public:
  ClientSqlGuard() = default;
  ClientSqlGuard(const ClientSqlGuard&) = delete;
  ClientSqlGuard& operator=(const ClientSqlGuard&) = delete;

  // Installs the authorizer and the hook on an SQLite store's connection and reads the
  // tables' column names; false on any other store.
  bool Install(StoreDb& store);

  // The authorizer applies while on: a client statement is being prepared or stepped.
  // Turning it on for a new statement forgets what the last one wrote.
  void StartStatement();
  void SetChecking(bool on) { checking_ = on; }
  const std::vector<StatementWrite>& Writes() const { return writes_; }

  // Between Arm and Disarm every row written on the connection is checked against rights.
  void Arm(const Rights& rights);
  struct Outcome {
    std::string refusal;  // the first row refused, empty when none was
    std::string table;    // its table
    std::int64_t target = -1;
    std::vector<RightsNote> notes;  // the rights changes of the rows allowed
  };
  Outcome Disarm();

 private:
  static int Authorize(void* self, int action, const char* a, const char* b, const char*,
                       const char*);
  static void PreUpdate(void* self, sqlite3* db, int op, const char* database, const char* table,
                        sqlite3_int64, sqlite3_int64);
  // The columns read of each row: by name, and by their place in the table.
  struct ReadPlan {
    std::vector<std::string> names;
    std::vector<int> places;
    int tableColumns = 0;
  };
  const ReadPlan* PlanFor(const char* table, bool update);
  const ReadPlan* MakePlan(const std::string& table, bool update);
  void CheckRow(sqlite3* db, int op, const char* table);

  bool checking_ = false;
  std::vector<StatementWrite> writes_;
  std::optional<Rights> rights_;  // set while armed
  Outcome outcome_;
  std::map<std::string, std::vector<std::string>> columns_;  // by upper-case table name
  std::map<std::string, ReadPlan> plans_;                    // this statement's, by table
  struct {
    const char* table = nullptr;
    bool update = false;
    const ReadPlan* plan = nullptr;
  } lastPlan_;  // the plan of the row before
};

}  // namespace hrzsrv
