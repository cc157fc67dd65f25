#include "xfindgrid.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>

#include "grid_configs.h"
#include "hrzcommon/text.h"
#include "outline_script.h"
#include "xclidb.h"
#include "xgrid_model.h"

namespace {

constexpr int kCellCapacity = 1024;

}  // namespace

XRecObjGrid::XRecObjGrid() = default;

XRecObjGrid::~XRecObjGrid() = default;

void XRecObjGrid::SetColumns(std::vector<Column> columns) {
  columns_ = std::move(columns);
  SetRows(1, FALSE);
  SetCols(static_cast<int>(columns_.size()) + 1);
  for (size_t i = 0; i < columns_.size(); ++i) {
    SetItemText(0, static_cast<int>(i) + 1, columns_[i].label.c_str());
  }
}

void XRecObjGrid::ApplyWidths(bool detail) {
  for (size_t i = 0; i < columns_.size(); ++i) {
    const Column& c = columns_[i];
    SetColumnWidth(static_cast<int>(i) + 1, c.detailOnly && !detail ? 0 : c.width);
  }
}

int XRecObjGrid::GetColByCtrlName(const char* ctrlName) const {
  for (size_t i = 0; ctrlName != nullptr && i < columns_.size(); ++i) {
    if (hrz::EqualsNoCase(columns_[i].ctrlName, ctrlName)) return static_cast<int>(i) + 1;
  }
  return -1;
}

int XRecObjGrid::GetColByOrgFldName(const char* field) const {
  for (size_t i = 0; field != nullptr && *field != '\0' && i < columns_.size(); ++i) {
    if (hrz::EqualsNoCase(columns_[i].field, field)) return static_cast<int>(i) + 1;
  }
  return -1;
}

BOOL XRecObjGrid::GetTextByOrgFld(int row, const char* field, char* buffer, int capacity) const {
  int col = GetColByOrgFldName(field);
  if (row < 1 || row >= GetRows() || col < 1) return FALSE;
  return GetItemText(row, col, buffer, capacity) >= 0;
}

XPrdFindGrid::XPrdFindGrid() = default;

BOOL XPrdFindGrid::InitCtrls(const char* gridName) {
  const char* script = gridName != nullptr ? hrzcfg::GridConfigScript(gridName) : nullptr;
  if (script == nullptr) return FALSE;
  hrz::ui::OutlineParseResult parsed = hrz::ui::ParseOutline(script);
  if (parsed.errorLine != 0 || parsed.items.size() != 1 || parsed.items[0].args.size() < 2 ||
      !hrz::IsSqlFieldName(parsed.items[0].args[1])) {
    return FALSE;
  }
  const hrz::ui::OutlineItem& grid = parsed.items[0];
  std::vector<Column> columns;
  std::string order;
  std::string kindColumn;
  for (const hrz::ui::OutlineItem& item : grid.children) {
    if (item.keyword == "order" && !item.args.empty()) order = item.args[0];
    if (item.keyword == "kind" && !item.args.empty()) kindColumn = item.args[0];
    if (item.keyword != "column" || item.args.size() < 2) continue;
    Column column;
    column.kind = item.args[0];
    column.ctrlName = item.args[1];
    column.field = item.ChildArg("field");
    if (!column.field.empty() && !hrz::IsSqlFieldName(column.field)) return FALSE;
    column.label = item.ChildArg("label", column.ctrlName);
    column.width = std::atoi(item.ChildArg("width", "100").c_str());
    column.detailOnly = hrz::EqualsNoCase(item.ChildArg("detail"), "true");
    columns.push_back(std::move(column));
  }
  if ((!order.empty() && !hrz::IsSqlFieldName(order)) ||
      (!kindColumn.empty() && !hrz::IsSqlFieldName(kindColumn))) {
    return FALSE;
  }
  name_ = grid.args[0];
  table_ = grid.args[1];
  order_ = order;
  kindColumn_ = kindColumn;
  pendingSql_.clear();
  SetColumns(std::move(columns));
  ApplyWidths(detail_);
  return TRUE;
}

void XPrdFindGrid::Detail(BOOL detail) {
  detail_ = detail != FALSE;
  ApplyWidths(detail_);
}

void XPrdFindGrid::SetPageRows(int rows) {
  pageRows_ = std::max(rows, 1);
}

int XPrdFindGrid::DoFind(const char* where, const char* order, int* count, BOOL append) {
  if (QThread::currentThread() != Context()->thread()) {
    int result = -1;
    QMetaObject::invokeMethod(
        Context(), [&] { result = DoFindHere(where, order, count, append); },
        Qt::BlockingQueuedConnection);
    return result;
  }
  return DoFindHere(where, order, count, append);
}

XPrdFindGrid::Query XPrdFindGrid::MakeQuery() const {
  Query query;
  query.table_ = table_;
  query.kindColumn_ = kindColumn_;
  query.order_ = order_;
  query.filter_ = FindFilter();
  for (const Column& c : Columns()) query.fields_.push_back(c.field);
  return query;
}

std::string XPrdFindGrid::Query::From(const char* where) const {
  std::string condition;
  std::string w = where != nullptr ? std::string(hrz::TrimBlanks(where)) : "";
  if (!w.empty()) condition = "(" + w + ")";
  if (!filter_.empty()) condition += (condition.empty() ? "(" : " and (") + filter_ + ")";
  return " from " + table_ + (condition.empty() ? "" : " where " + condition);
}

std::string XPrdFindGrid::Query::Sql(const char* where, const char* order) const {
  std::string select =
      "select " + table_ + ".NID, " + (kindColumn_.empty() ? std::string("''") : kindColumn_);
  for (const std::string& field : fields_) select += ", " + (field.empty() ? "''" : field);
  std::string sortBy = order != nullptr && *order != '\0' ? order : order_;
  // The NID last keeps pages apart when the order has ties.
  return select + From(where) + " order by " + (sortBy.empty() ? "" : sortBy + ", ") + table_ +
         ".NID";
}

bool XPrdFindGrid::Query::Read(tagXCliDB* db, const std::string& sql, int limit,
                               std::vector<FoundRow>* rows, bool* more) const {
  if (more != nullptr) *more = false;
  XCliGenRS rs(db);
  if (!rs.Open(1, sql.c_str())) return false;
  const int cols = static_cast<int>(fields_.size());
  std::vector<char> text(kCellCapacity);
  for (int read = 0; !rs.IsEOF(); rs.MoveNext(), ++read) {
    if (read == limit) {
      if (more != nullptr) *more = true;
      break;
    }
    FoundRow row;
    rs.GetFieldValue(0, XCLI_TYPE_INT32, &row.nid, 4);
    if (rs.GetFieldValue(1, XCLI_TYPE_TEXT, text.data(), kCellCapacity)) row.kind = text.data();
    row.cells.resize(cols);
    for (int c = 0; c < cols; ++c) {
      if (rs.GetFieldValue(c + 2, XCLI_TYPE_TEXT, text.data(), kCellCapacity)) {
        row.cells[c] = text.data();
      }
    }
    rows->push_back(std::move(row));
  }
  return true;
}

int XPrdFindGrid::DoFindHere(const char* where, const char* order, int* count, BOOL append) {
  if (GetDB() == nullptr || table_.empty()) return -1;
  if (!append) SetRows(1, FALSE);
  const Query query = MakeQuery();
  const std::string sql = query.Sql(where, order);
  pendingSql_.clear();
  int added = ReadRows(sql + " limit " + std::to_string(pageRows_ + 1), pageRows_);
  if (added < 0) return -1;
  bool more = !pendingSql_.empty();
  if (more) pendingSql_ = sql;
  pendingOffset_ = added;
  if (count != nullptr) {
    *count = added;
    if (more) {
      XCliGenRS rs(GetDB());
      ++queries_;
      std::string countSql = "select count(*)" + query.From(where);
      if (rs.Open(1, countSql.c_str()) && !rs.IsEOF()) {
        rs.GetFieldValue(0, XCLI_TYPE_INT32, count, 4);
      }
    }
  }
  Refresh();
  return added;
}

int XPrdFindGrid::RefindRow(int row, const char* where) {
  if (QThread::currentThread() != Context()->thread()) {
    int result = -1;
    QMetaObject::invokeMethod(
        Context(), [&] { result = RefindRowHere(row, where); }, Qt::BlockingQueuedConnection);
    return result;
  }
  return RefindRowHere(row, where);
}

int XPrdFindGrid::RefindRowHere(int row, const char* where) {
  if (GetDB() == nullptr || table_.empty() || row < 1 || row >= GetRows()) return -1;
  const Query query = MakeQuery();
  std::vector<FoundRow> found;
  ++queries_;
  if (!query.Read(GetDB(), query.Sql(where, nullptr) + " limit 1", 1, &found, nullptr)) return -1;
  if (found.empty()) {
    DeleteRow(row, TRUE);
    return 0;
  }
  hrz::ui::XGridRow* here = Model()->Row(row);
  here->data = found[0].nid;
  here->tag = std::move(found[0].kind);
  const int cols = std::min(static_cast<int>(found[0].cells.size()), GetCols() - 1);
  for (int c = 0; c < cols; ++c) here->cells[c + 1].text = std::move(found[0].cells[c]);
  for (int col = 1; col < GetCols(); ++col) Model()->CellChanged(row, col);
  Refresh();
  return 1;
}

// Appends at most limit rows of sql; marks more rows pending when the query gave more.
int XPrdFindGrid::ReadRows(const std::string& sql, int limit) {
  ++queries_;
  std::vector<FoundRow> rows;
  bool more = false;
  if (!MakeQuery().Read(GetDB(), sql, limit, &rows, &more)) return -1;
  if (more) pendingSql_ = sql;
  return AppendFoundRows(std::move(rows));
}

int XPrdFindGrid::AppendFoundRows(std::vector<FoundRow> found) {
  const int cols = std::min(static_cast<int>(Columns().size()), GetCols() - 1);
  std::vector<hrz::ui::XGridRow> rows;
  rows.reserve(found.size());
  int heading = GetRows();
  for (FoundRow& f : found) {
    hrz::ui::XGridRow row;
    row.cells.resize(GetCols());
    row.cells[0].text = std::to_string(heading++);
    row.data = f.nid;
    row.tag = std::move(f.kind);
    for (int c = 0; c < cols && c < static_cast<int>(f.cells.size()); ++c) {
      row.cells[c + 1].text = std::move(f.cells[c]);
    }
    rows.push_back(std::move(row));
  }
  const int added = static_cast<int>(rows.size());
  Model()->AppendRows(std::move(rows));
  return added;
}

int XPrdFindGrid::GetAll(BOOL redraw) {
  if (QThread::currentThread() != Context()->thread()) {
    int result = -1;
    QMetaObject::invokeMethod(
        Context(), [&] { result = GetAll(redraw); }, Qt::BlockingQueuedConnection);
    return result;
  }
  if (pendingSql_.empty()) return 0;
  std::string sql = pendingSql_ + " limit -1 offset " + std::to_string(pendingOffset_);
  pendingSql_.clear();
  int added = ReadRows(sql, -1);
  if (redraw) Refresh();
  return added;
}

int XPrdFindGrid::GetRecNID(int row, char* table, char* kind) const {
  if (row < 1 || row >= GetRows()) return -1;
  if (table != nullptr) hrz::CopyBounded(table, 33, table_);
  if (kind != nullptr) hrz::CopyBounded(kind, 17, GetRowTag(row));
  int nid = static_cast<int>(GetRowData(row));
  return nid >= 1 ? nid : -1;
}

XUserFindGrid::XUserFindGrid() = default;

std::string XUserFindGrid::FindFilter() const {
  const std::string t = GetTableName();
  const std::string kind = t + ".CSRC";
  const std::string notDeleted = "(" + t + ".NSTAT is null or " + t + ".NSTAT <> 254)";
  switch (filterType_) {
    case 1:
      return kind + " in ('UUSRI', 'KQUSR', 'UUSRO')";
    case 2:
      return kind + " in ('UDEPT', 'UROLE')";
    case 4:
      return kind + " in ('UUSRI', 'KQUSR', 'UUSRO', 'UDEPT', 'UROLE')";
    case 9:
      return kind + " in ('UUSRI', 'KQUSR') and " + notDeleted;
    default:
      return {};
  }
}
