// The item model behind XGrid. Grid row r (r >= 1) is model row r - 1 and grid column c
// (c >= 1) model column c - 1; the header row and the heading column become the view's
// headers.
#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "wintypes.h"

namespace hrz::ui {

constexpr COLORREF kNoColour = 0xffffffff;

struct XGridCell {
  std::string text;
  COLORREF bk = kNoColour;
  COLORREF fg = kNoColour;
};

struct XGridRow {
  std::vector<XGridCell> cells;
  LPARAM data = 0;
  std::string tag;
  int height = -1;  // -1: the view's default
};

class XGridModel : public QAbstractTableModel {
 public:
  XGridModel();

  int Rows() const { return static_cast<int>(rows_.size()); }
  int Cols() const { return cols_; }
  void SetRows(int rows);
  void SetCols(int cols);
  int InsertRow(int before);
  // Appends rows (each with cells for every column) in one insertion.
  void AppendRows(std::vector<XGridRow> rows);
  void DeleteRow(int row);
  // Null for a cell outside the grid.
  XGridCell* Cell(int row, int col);
  const XGridCell* Cell(int row, int col) const;
  XGridRow* Row(int row);
  const XGridRow* Row(int row) const;
  void CellChanged(int row, int col);

  int rowCount(const QModelIndex& parent) const override;
  int columnCount(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::vector<XGridRow> rows_;
  int cols_ = 1;
};

}  // namespace hrz::ui
