// Which changes client SQL may make to the organisation tables, decided for one session:
// first per statement (the tables and columns it writes), then per row it touches.
// docs/protocol.md ("Rights") carries the same table in words.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hrzsrv {

// Who a session is when the server decides a change.
struct Rights {
  int userNid = -1;
  bool admin = false;    // the reserved administrator's record, whatever code it shows
  bool manager = false;  // holds "UUSR" modify, itself or through a department or role above
};

enum class WriteKind { kInsert, kUpdate, kDelete };

// A value as the store holds it: its SQLite type, an integer as such, anything else as its
// bytes (a real as text).
struct Cell {
  int type = SQLITE_NULL;
  std::int64_t integer = 0;
  std::string bytes;
  bool IsNull() const { return type == SQLITE_NULL; }
  bool operator==(const Cell&) const = default;
};
// The cell of an SQLite value; an empty (NULL) cell for null.
Cell CellOf(sqlite3_value* value);

// One row a statement writes. before holds the row as it was (update, delete), after as
// it becomes (insert, update), both in the order of columns.
struct RowChange {
  WriteKind kind = WriteKind::kUpdate;
  std::string_view table;
  const std::vector<std::string>* columns = nullptr;
  std::vector<Cell> before, after;
  // The value of a column before or after; null when the row has no such side or column.
  const Cell* Before(std::string_view column) const;
  const Cell* After(std::string_view column) const;
};

// The values a column that a rule names may take.
enum class ValueRule {
  kAnyValue,
  kNullOnly,       // clearing only
  kRestoredState,  // "NSTAT" from 254 (deleted) to 255
  kRestoredCode,   // a deleted user's code without its "[del]" marker
  kNotOwnRow,      // any value, on rows other than the writer's own
  kLimit,          // a whole number from 0 (no limit) to the 32-bit maximum
};

// A column that some session other than the administrator's may update with client SQL, for
// some rows and values; everything else is the administrator's alone.
struct WritableColumn {
  std::string_view table, column;
  bool managersOnly;  // else every user, on its own row
  ValueRule values;
};
std::vector<WritableColumn> WritableColumns();

// Empty when the session may write this column of table (an empty column for an insert
// or a delete) in some row; otherwise why not.
std::string RefuseStatementWrite(const Rights& rights, WriteKind kind, std::string_view table,
                                 std::string_view column);

// Empty unless the change touches the administrator's reserved record or code or the
// organisation's root: the administrator keeps its NID, code, kind and login lists and is
// never deleted or marked deleted, no other record takes its NID or code; the root stays a
// department at its NID and is never deleted or marked deleted.
std::string RefuseSystemRecordChange(const RowChange& change);

// Empty when the change stays within the session's rights; otherwise why not. The
// administrator's record is protected from every session, the administrator's own too.
std::string RefuseRowChange(const Rights& rights, const RowChange& change);

// A change to who holds which rights, for the audit log.
struct RightsNote {
  std::string table;
  std::int64_t target = -1;  // the record whose rights changed
  std::string what;          // "UUSR.CCODE", "UUSR insert", ...
  std::string text;          // old and new values
};
// The columns the rules read of every updated row, whether the update sets them or not.
bool RulesReadColumn(std::string_view column);

// What a permitted row change does to rights: codes, states, kinds, records and links.
std::vector<RightsNote> RightsNotesOf(const RowChange& change);

// The tables whose rows RightsNotesOf reads, with the columns whose change it notes; an
// insert or delete of any of their rows is noted too.
struct AuditedColumns {
  std::string_view table;
  std::vector<std::string_view> columns;
};
std::vector<AuditedColumns> AuditedColumnsByTable();

}  // namespace hrzsrv
