#include "write_rules.h"

#include "hrzcommon/protocol.h"
#include "hrzcommon/text.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "store.h"

namespace hrzsrv {
namespace {

enum class Who {
  kManager,  // a holder of "UUSR" modify (the administrator passes every rule anyway)
  kOwner,    // the logged-on user on its own row
};

struct ColumnRule {
  std::string_view table, column;
  Who who;
  ValueRule allowed;
};

// Every column that a dialog of the module changes with client SQL, and for whom. Other
// columns, inserts and deletes are the administrator's alone.
constexpr ColumnRule kColumnRules[] = {
    // The password rule editor; on the organisation's root it copies the rule to every row.
    {"UUSR", "CPWDRULE", Who::kManager, ValueRule::kAnyValue},
    {"UUSR", "NPWDDAYS", Who::kManager, ValueRule::kAnyValue},
    {"UUSR", "DMODIPWD", Who::kManager, ValueRule::kAnyValue},
    // Unlock clears the failed-logon count; restore clears it and the per-user values.
    {"UUSR", "NTRYLGN", Who::kManager, ValueRule::kNullOnly},
    {"UUSR", "DTRYLGNTM", Who::kManager, ValueRule::kNullOnly},
    {"UUSR", "NPA", Who::kManager, ValueRule::kNullOnly},
    {"UUSR", "NPB", Who::kManager, ValueRule::kNullOnly},
    {"UUSR", "NPC", Who::kManager, ValueRule::kNullOnly},
    {"UUSR", "NPD", Who::kManager, ValueRule::kNullOnly},
    // Restore: the state back to normal and the code without its marker.
    {"UUSR", "NSTAT", Who::kManager, ValueRule::kRestoredState},
    {"UUSR", "CCODE", Who::kManager, ValueRule::kRestoredCode},
    // The department IP action. As in a record save, a manager's own list is not its own to
    // widen, and the administrator's list is nobody's (ProtectAdministrator).
    {"UUSR", "CLGNIP", Who::kManager, ValueRule::kNotOwnRow},
    // The privilege editor's extra columns: decrypt applications and outgoing-file limits.
    {"UUSR", "CDECFLWAPPS", Who::kManager, ValueRule::kAnyValue},
    {"UUSR", "NWFMAXTM", Who::kManager, ValueRule::kLimit},
    {"UUSR", "NWFMAXCNT", Who::kManager, ValueRule::kLimit},
    // Move To.
    {"UUSRBM", "NPID", Who::kManager, ValueRule::kAnyValue},
    // The user's own drawing signature position, and clearing its signature references:
    // the names themselves are the server's to write.
    {"UUSR", "FDWGX", Who::kOwner, ValueRule::kAnyValue},
    {"UUSR", "FDWGY", Who::kOwner, ValueRule::kAnyValue},
    {"UUSR", "FDWGH", Who::kOwner, ValueRule::kAnyValue},
    {"UUSR", "CBMPSG", Who::kOwner, ValueRule::kNullOnly},
    {"UUSR", "CDWGSG", Who::kOwner, ValueRule::kNullOnly},
};

std::optional<std::int64_t> IntegerOf(const Cell* cell) {
  if (cell == nullptr || cell->type != SQLITE_INTEGER) return std::nullopt;
  return cell->integer;
}

std::string Shown(const Cell* cell) {
  if (cell == nullptr || cell->IsNull()) return "NULL";
  if (cell->type == SQLITE_TEXT) return "'" + cell->bytes + "'";
  if (cell->type == SQLITE_INTEGER) return std::to_string(cell->integer);
  return cell->bytes;
}

// The code that restoring a deleted user gives: every marker removed, blanks and tabs
// trimmed at both ends.
std::string RestoredCode(std::string code) {
  for (std::size_t at; (at = code.find(kDeletedMarker)) != std::string::npos;) {
    code.erase(at, kDeletedMarker.size());
  }
  return std::string(hrz::TrimBlanks(code));
}

bool ValueAllowed(ValueRule allowed, const Cell& before, const Cell& after, const RowChange& change,
                  const Rights& rights) {
  switch (allowed) {
    case ValueRule::kAnyValue:
      return true;
    case ValueRule::kNullOnly:
      return after.IsNull();
    case ValueRule::kRestoredState:
      return IntegerOf(&before) == kDeletedState && IntegerOf(&after) == kNormalState;
    case ValueRule::kRestoredCode:
      return before.bytes.find(kDeletedMarker) != std::string::npos && after.type == SQLITE_TEXT &&
             after.bytes == RestoredCode(before.bytes);
    case ValueRule::kNotOwnRow:
      return IntegerOf(change.Before("NID")) != rights.userNid;
    case ValueRule::kLimit: {
      const std::optional<std::int64_t> limit = IntegerOf(&after);
      return limit && *limit >= 0 && *limit <= std::numeric_limits<std::int32_t>::max();
    }
  }
  return false;
}

bool Applies(const ColumnRule& rule, const Rights& rights, const RowChange* change) {
  if (rule.who == Who::kManager) return rights.manager;
  // Statement level (no row yet): any user may have an own row to write.
  return change == nullptr || IntegerOf(change->Before("NID")) == rights.userNid;
}

// True when the change sets the column to another value.
bool Changed(const RowChange& change, std::string_view column) {
  const Cell* before = change.Before(column);
  const Cell* after = change.After(column);
  return before != nullptr && after != nullptr && *before != *after;
}

std::string OnlyTheAdministrator(WriteKind kind, std::string_view table) {
  return std::string("only the administrator ") +
         (kind == WriteKind::kInsert ? "inserts into " : "deletes from ") + std::string(table);
}

// The administrator's record may not go, move to another NID, change its code or kind or be
// marked deleted, and no other record may take its NID or code: who the administrator is
// never depends on a code that someone could write, and it can always log on.
std::string ProtectAdministrator(const RowChange& change) {
  const bool was = IntegerOf(change.Before("NID")) == kAdminNid;
  const bool is = IntegerOf(change.After("NID")) == kAdminNid;
  if (was && change.kind == WriteKind::kDelete)
    return "the administrator's record cannot be deleted";
  if (was && !is) return "the administrator's record keeps its NID";
  if (is && !was) return "the administrator's NID is reserved";
  const Cell* code = change.After("CCODE");
  if (was && Changed(change, "CCODE")) return "the administrator's code cannot change";
  if (was && Changed(change, "CSRC")) return "the administrator's kind cannot change";
  // The administrator answers to its own login lists only: no session may fence it in.
  if (was && (Changed(change, "CLGNIP") || Changed(change, "CLGNMAC"))) {
    return "the administrator's login lists cannot change";
  }
  if (was && IntegerOf(change.After("NSTAT")) == kDeletedState) {
    return "the administrator's record cannot be deleted";
  }
  if (!is && code != nullptr && code->type == SQLITE_TEXT && IsAdminCode(code->bytes)) {
    return "the administrator's code is reserved";
  }
  return {};
}

// The organisation's root stays: not deleted nor marked deleted, at its NID, a department.
std::string ProtectRoot(const RowChange& change) {
  const bool was = IntegerOf(change.Before("NID")) == kRootNid;
  const bool is = IntegerOf(change.After("NID")) == kRootNid;
  if (was &&
      (change.kind == WriteKind::kDelete || IntegerOf(change.After("NSTAT")) == kDeletedState)) {
    return "the organisation's root cannot be deleted";
  }
  if (was != is && change.kind == WriteKind::kUpdate)
    return "the organisation's root keeps its NID";
  if (was && Changed(change, "CSRC")) return "the organisation's root stays a department";
  return {};
}

struct AuditedTable {
  std::string_view table, target;
  std::vector<std::string_view> columns;
};

// Changes that move rights: a record's code, state and kind, and the links that decide
// which departments and roles a record inherits from.
const AuditedTable kAuditedTables[] = {
    {"UUSR", "NID", {"CCODE", "NSTAT", "CSRC"}},
    {"UUSRBM", "NCID", {"NPID", "NCID"}},
    // A catalogue entry's code and position decide which mark of every string it reads.
    {"UUSRFN", "NID", {"CCODE", "NFNCHR"}},
};

// The rows' identities: who owns a row, the administrator's NID and code, a link's record.
constexpr std::string_view kIdentityColumns[] = {"NID", "CCODE", "NCID"};

// Empty unless the change gives a catalogue entry a position past the last one a privilege
// string holds, where no mark can be stored. Entries without a position (not a positive
// whole number) stay allowed: they carry no mark at all.
std::string RefuseCatalogueChange(const RowChange& change) {
  if (!hrz::EqualsNoCase(change.table, "UUSRFN") || change.kind == WriteKind::kDelete) return {};
  const Cell* before = change.Before("NFNCHR");
  const Cell* after = change.After("NFNCHR");
  if (after == nullptr || (before != nullptr && *before == *after)) return {};
  const std::optional<std::int64_t> position = IntegerOf(after);
  if (position && *position > static_cast<std::int64_t>(hrz::protocol::kMaxPrivilegeMarks)) {
    return "a catalogue entry's position is at most " +
           std::to_string(hrz::protocol::kMaxPrivilegeMarks) +
           ": no privilege string holds a mark beyond it";
  }
  return {};
}

}  // namespace

std::vector<WritableColumn> WritableColumns() {
  std::vector<WritableColumn> columns;
  for (const ColumnRule& rule : kColumnRules) {
    columns.push_back({rule.table, rule.column, rule.who == Who::kManager, rule.allowed});
  }
  return columns;
}

std::vector<AuditedColumns> AuditedColumnsByTable() {
  std::vector<AuditedColumns> tables;
  for (const AuditedTable& audited : kAuditedTables) {
    tables.push_back({audited.table, audited.columns});
  }
  return tables;
}

bool RulesReadColumn(std::string_view column) {
  for (std::string_view identity : kIdentityColumns) {
    if (hrz::EqualsNoCase(identity, column)) return true;
  }
  return false;
}

Cell CellOf(sqlite3_value* value) {
  Cell cell;
  if (value == nullptr) return cell;
  cell.type = sqlite3_value_type(value);
  if (cell.type == SQLITE_INTEGER) {
    cell.integer = sqlite3_value_int64(value);
    return cell;
  }
  const void* bytes =
      cell.type == SQLITE_BLOB ? sqlite3_value_blob(value) : sqlite3_value_text(value);
  if (bytes != nullptr) {
    cell.bytes.assign(static_cast<const char*>(bytes),
                      static_cast<std::size_t>(sqlite3_value_bytes(value)));
  }
  return cell;
}

std::string RefuseSystemRecordChange(const RowChange& change) {
  if (!hrz::EqualsNoCase(change.table, "UUSR")) return {};
  std::string reason = ProtectAdministrator(change);
  return reason.empty() ? ProtectRoot(change) : reason;
}

const Cell* RowChange::Before(std::string_view column) const {
  for (std::size_t i = 0; columns != nullptr && i < before.size(); ++i) {
    if (hrz::EqualsNoCase((*columns)[i], column)) return &before[i];
  }
  return nullptr;
}

const Cell* RowChange::After(std::string_view column) const {
  for (std::size_t i = 0; columns != nullptr && i < after.size(); ++i) {
    if (hrz::EqualsNoCase((*columns)[i], column)) return &after[i];
  }
  return nullptr;
}

std::string RefuseStatementWrite(const Rights& rights, WriteKind kind, std::string_view table,
                                 std::string_view column) {
  if (rights.admin) return {};
  if (kind != WriteKind::kUpdate) return OnlyTheAdministrator(kind, table);
  for (const ColumnRule& rule : kColumnRules) {
    if (hrz::EqualsNoCase(rule.table, table) && hrz::EqualsNoCase(rule.column, column) &&
        Applies(rule, rights, nullptr)) {
      return {};
    }
  }
  return "no right to change " + std::string(table) + "." + std::string(column);
}

std::string RefuseRowChange(const Rights& rights, const RowChange& change) {
  const std::string table(change.table);
  if (change.columns == nullptr) return "the row in " + table + " cannot be read";
  if (std::string reason = RefuseSystemRecordChange(change); !reason.empty()) return reason;
  if (std::string reason = RefuseCatalogueChange(change); !reason.empty()) return reason;
  if (rights.admin) return {};
  if (change.kind != WriteKind::kUpdate) return OnlyTheAdministrator(change.kind, change.table);
  for (std::size_t i = 0; i < change.columns->size(); ++i) {
    const std::string& column = (*change.columns)[i];
    if (change.before[i] == change.after[i]) continue;
    bool permitted = false;
    for (const ColumnRule& rule : kColumnRules) {
      permitted = hrz::EqualsNoCase(rule.table, change.table) &&
                  hrz::EqualsNoCase(rule.column, column) && Applies(rule, rights, &change) &&
                  ValueAllowed(rule.allowed, change.before[i], change.after[i], change, rights);
      if (permitted) break;
    }
    if (!permitted) {
      return "no right to change " + table + "." + column + " of the row with NID " +
             Shown(change.Before("NID"));
    }
  }
  return {};
}

std::vector<RightsNote> RightsNotesOf(const RowChange& change) {
  std::vector<RightsNote> notes;
  for (const AuditedTable& audited : kAuditedTables) {
    if (!hrz::EqualsNoCase(audited.table, change.table)) continue;
    const Cell* target = change.After(audited.target);
    if (target == nullptr) target = change.Before(audited.target);
    const std::int64_t nid = IntegerOf(target).value_or(-1);
    const std::string table(change.table);
    if (change.kind != WriteKind::kUpdate) {
      const bool insert = change.kind == WriteKind::kInsert;
      std::string text;
      for (std::string_view column : audited.columns) {
        const Cell* value = insert ? change.After(column) : change.Before(column);
        text += (text.empty() ? "" : ", ") + std::string(column) + " " + Shown(value);
      }
      notes.push_back({table, nid, table + (insert ? " insert" : " delete"), text});
      continue;
    }
    for (std::string_view column : audited.columns) {
      const Cell* before = change.Before(column);
      const Cell* after = change.After(column);
      if (before == nullptr || after == nullptr || *before == *after) continue;
      notes.push_back(
          {table, nid, table + "." + std::string(column), Shown(before) + " -> " + Shown(after)});
    }
  }
  return notes;
}

}  // namespace hrzsrv
