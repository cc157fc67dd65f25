#include "xgrid_model.h"

#include <QBrush>
#include <QColor>

namespace hrz::ui {
namespace {

QVariant Brush(COLORREF colour) {
  if (colour == kNoColour) return {};
  return QBrush(QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)));
}

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

XGridModel::XGridModel() {
  rows_.resize(1);
  rows_[0].cells.resize(1);
}

void XGridModel::SetRows(int rows) {
  if (rows < 1) rows = 1;
  int now = Rows();
  if (rows < now) {
    beginRemoveRows({}, rows - 1, now - 2);
    rows_.resize(rows);
    endRemoveRows();
  } else if (rows > now) {
    beginInsertRows({}, now - 1, rows - 2);
    rows_.resize(rows);
    for (int r = now; r < rows; ++r) rows_[r].cells.resize(cols_);
    endInsertRows();
  }
}

void XGridModel::SetCols(int cols) {
  if (cols < 1) cols = 1;
  if (cols == cols_) return;
  beginResetModel();
  cols_ = cols;
  for (auto& row : rows_) row.cells.resize(cols_);
  endResetModel();
}

int XGridModel::InsertRow(int before) {
  int at = before < 1 || before > Rows() ? Rows() : before;
  beginInsertRows({}, at - 1, at - 1);
  XGridRow row;
  row.cells.resize(cols_);
  rows_.insert(rows_.begin() + at, std::move(row));
  endInsertRows();
  return at;
}

void XGridModel::AppendRows(std::vector<XGridRow> rows) {
  if (rows.empty()) return;
  int first = Rows();
  beginInsertRows({}, first - 1, first - 1 + static_cast<int>(rows.size()) - 1);
  for (XGridRow& row : rows) {
    row.cells.resize(cols_);
    rows_.push_back(std::move(row));
  }
  endInsertRows();
}

void XGridModel::DeleteRow(int row) {
  beginRemoveRows({}, row - 1, row - 1);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

XGridRow* XGridModel::Row(int row) {
  return row >= 0 && row < Rows() ? &rows_[row] : nullptr;
}

const XGridRow* XGridModel::Row(int row) const {
  return row >= 0 && row < Rows() ? &rows_[row] : nullptr;
}

XGridCell* XGridModel::Cell(int row, int col) {
  XGridRow* r = Row(row);
  return r != nullptr && col >= 0 && col < cols_ ? &r->cells[col] : nullptr;
}

const XGridCell* XGridModel::Cell(int row, int col) const {
  const XGridRow* r = Row(row);
  return r != nullptr && col >= 0 && col < cols_ ? &r->cells[col] : nullptr;
}

void XGridModel::CellChanged(int row, int col) {
  if (row == 0 && col > 0) {
    emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
  } else if (col == 0 && row > 0) {
    emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
  } else if (row > 0 && col > 0) {
    QModelIndex at = index(row - 1, col - 1);
    emit dataChanged(at, at);
  }
}

int XGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Rows() - 1;
}

int XGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : cols_ - 1;
}

QVariant XGridModel::data(const QModelIndex& index, int role) const {
  const XGridCell* cell = Cell(index.row() + 1, index.column() + 1);
  if (!index.isValid() || cell == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole:
      return ToQString(cell->text);
    case Qt::BackgroundRole:
      return Brush(cell->bk);
    case Qt::ForegroundRole:
      return Brush(cell->fg);
    default:
      return {};
  }
}

QVariant XGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  const XGridCell* cell =
      orientation == Qt::Horizontal ? Cell(0, section + 1) : Cell(section + 1, 0);
  return cell != nullptr ? ToQString(cell->text) : QVariant();
}

Qt::ItemFlags XGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace hrz::ui
