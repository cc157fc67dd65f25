// XGrid: a grid of text cells on a Qt item view. Row 0 is the header row and column 0 the
// row-heading column; data cells start at row 1, column 1. A row of height 0 is hidden.
// Row and column changes reach OnRowColChange after the change interval; a later change
// within it replaces an earlier one.
#pragma once

#include <QPointer>
#include <QTableView>
#include <memory>
#include <string>

#include "cwnd.h"

class CDC;

namespace hrz::ui {
class XGridModel;
template <typename Focus>
class FocusDelay;
}  // namespace hrz::ui

struct XCellID {
  int row = -1;
  int col = -1;
  XCellID() = default;
  XCellID(int r, int c) : row(r), col(c) {}
  bool IsValid() const { return row >= 0 && col >= 0; }
};

// Events passed to the callback of SetGridEventFunc.
constexpr int XGRID_EVENT_ROWCOL = 0;    // the focus cell changed (after the interval)
constexpr int XGRID_EVENT_DBLCLICK = 1;  // a cell was double-clicked

class XGrid : public CWnd {
 public:
  using GridEventFunc = void (*)(XGrid* grid, int event, int row, int col, void* userData);

  XGrid();
  ~XGrid() override;

  // Places the grid in a parent window (a container, usually) at rect with id; the style
  // WS_VISIBLE shows it.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

  // Row count including the header row (at least 1); rows beyond it are dropped.
  BOOL SetRows(int rows, BOOL redraw = TRUE);
  int GetRows() const;
  // Column count including the heading column (at least 1).
  BOOL SetCols(int cols);
  int GetCols() const;
  int GetFixedRows() const { return 1; }
  int GetFixedCols() const { return 1; }

  // Appends a data row (or inserts it before row) and returns its index; -1 on a bad row.
  int InsertRow(const char* heading, int before = -1);
  BOOL DeleteRow(int row, BOOL redraw = TRUE);

  BOOL SetItemText(int row, int col, const char* text);
  // Cell text into buffer (cut to capacity - 1); its length, -1 for a bad cell.
  int GetItemText(int row, int col, char* buffer, int capacity) const;
  std::string GetItemString(int row, int col) const;
  BOOL SetItemBkColour(int row, int col, COLORREF colour);
  BOOL SetItemFgColour(int row, int col, COLORREF colour);
  // A number kept with a data row; 0 when none.
  BOOL SetRowData(int row, LPARAM data);
  LPARAM GetRowData(int row) const;
  // A short text kept with a data row (a search grid keeps the record's kind there).
  BOOL SetRowTag(int row, const char* tag);
  std::string GetRowTag(int row) const;

  BOOL SetColumnWidth(int col, int width);
  int GetColumnWidth(int col) const;
  BOOL SetRowHeight(int row, int height);
  int GetRowHeight(int row) const;

  XCellID GetFocusCell() const;
  // Focuses a cell (row -1 clears); notify: run OnRowColChange at once.
  BOOL SetFocusCell(int row, int col, BOOL notify = FALSE);
  // List mode selects whole rows.
  void SetListMode(BOOL listMode);
  BOOL GetListMode() const { return listMode_; }
  // Drawing off: changes are not shown until drawing is switched on again.
  void SetRedraw(BOOL redraw);
  void Refresh();
  void SetRowColChangeInterval(int milliseconds);
  void SetGridEventFunc(GridEventFunc func, void* userData);

  // Act as a user's click or double-click on a cell, without the change interval; what
  // the automation hook calls to pick a row.
  void ClickCell(int row, int col);
  void DoubleClickCell(int row, int col);

  // The view; null once its parent window destroyed it.
  QTableView* View() const { return view_; }

  // Automation: a data row is the item; select clicks it, activate double-clicks it.
  bool AutomationSelect(int index) override;
  bool AutomationActivate(int index) override;
  int AutomationSelection() const override;

  // Draws a data cell (rect in the view's pixels); return TRUE when it was drawn, FALSE to
  // have the default drawing.
  virtual BOOL DrawCellText(CDC* dc, int row, int col, const RECT& rect, const char* text);

 protected:
  virtual void OnRowColChange(int oldRow, int oldCol, int newRow, int newCol);
  virtual void OnDblClickCell(int row, int col);
  void FireEvent(int event, int row, int col);
  hrz::ui::XGridModel* Model() const { return model_.get(); }
  QObject* Context() const;

 private:
  std::unique_ptr<hrz::ui::XGridModel> model_;
  QPointer<QTableView> view_;  // owned, unless its parent window deletes it first
  std::unique_ptr<hrz::ui::FocusDelay<XCellID>> changes_;
  bool listMode_ = false;
  GridEventFunc eventFunc_ = nullptr;
  void* eventUserData_ = nullptr;
};
