#include "noted_write.h"

#include <map>
#include <string>

#include "hrzcommon/text.h"
#include "statement.h"

namespace hrzsrv {
namespace {

// The audited columns of rows, by NID.
using Rows = std::map<std::int64_t, std::vector<Cell>>;

// NID first, then the columns whose changes are noted.
std::vector<std::string> ColumnsOf(std::string_view table) {
  std::vector<std::string> columns = {"NID"};
  for (const AuditedColumns& audited : AuditedColumnsByTable()) {
    if (!hrz::EqualsNoCase(audited.table, table)) continue;
    for (std::string_view column : audited.columns) {
      if (!hrz::EqualsNoCase(column, "NID")) columns.emplace_back(column);
    }
  }
  return columns;
}

bool ReadRows(StoreDb& db, std::string_view table, const std::vector<std::string>& columns,
              std::string_view column, std::int64_t value, Rows* rows) {
  std::string sql = "SELECT ";
  for (std::size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + columns[i];
  sql += " FROM " + std::string(table) + " WHERE " + std::string(column) + " = ?";
  Statement read(db, sql);
  read.Bind(1, value);
  while (read.Row()) {
    std::vector<Cell>& cells = (*rows)[read.Int(0)];
    for (std::size_t i = 0; i < columns.size(); ++i) cells.push_back(read.CellAt(int(i)));
  }
  return !read.Failed();
}

}  // namespace

bool NotedWrite(StoreDb& db, std::string_view table, std::string_view column, std::int64_t value,
                const std::function<bool()>& write, std::vector<RightsNote>* notes) {
  const std::vector<std::string> columns = ColumnsOf(table);
  Rows before, after;
  if (!ReadRows(db, table, columns, column, value, &before) || !write() ||
      !ReadRows(db, table, columns, column, value, &after)) {
    return false;
  }
  const auto note = [&](WriteKind kind, const std::vector<Cell>* was, const std::vector<Cell>* is) {
    RowChange change;
    change.kind = kind;
    change.table = table;
    change.columns = &columns;
    if (was != nullptr) change.before = *was;
    if (is != nullptr) change.after = *is;
    const std::vector<RightsNote> made = RightsNotesOf(change);
    notes->insert(notes->end(), made.begin(), made.end());
  };
  for (const auto& [nid, was] : before) {
    const auto is = after.find(nid);
    note(is == after.end() ? WriteKind::kDelete : WriteKind::kUpdate, &was,
         is == after.end() ? nullptr : &is->second);
  }
  for (const auto& [nid, is] : after) {
    if (!before.contains(nid)) note(WriteKind::kInsert, nullptr, &is);
  }
  return true;
}

}  // namespace hrzsrv
