// CUserFindGrid: the quick-search result grid of the user manager. A search turns the typed
// words into a where clause over "UUSR"; choosing a row saves the record pane's pending
// edits and shows the row's record.
#pragma once

#include <string_view>

#include "xfindgrid.h"

struct tagXCliDB;

class CCoolToolTip;

namespace hrz {

class CUserRecCtrl;

class CUserFindGrid : public XUserFindGrid {
 public:
  CUserFindGrid();

  // Makes the grid, hidden, at rect in parent: the search result layout of the organisation,
  // one row per record, every kind of record.
  void CreateIn(const RECT& rect, CWnd* parent, UINT id, tagXCliDB* db);
  // Searches over these fields ("CCODE | CNAME") whatever the host names; null: the host's.
  void SetSearchFields(const char* fields) { searchFields_ = fields; }
  // The pane that shows the chosen row's record; may be null.
  void SetRecordPane(CUserRecCtrl* pane) { pane_ = pane; }

  // Fills the grid with the records matching text (direct: text is the where clause
  // itself) and tells the row count in tip at the grid's corner, when tip is given.
  void DoQuickSearch(const char* text, BOOL direct, CCoolToolTip* tip);
  // The search of a window's search edit: its first 511 characters, trimmed. False, and
  // nothing searched, when that is blank.
  bool SearchTyped(std::string_view typed, CCoolToolTip* tip);
  // Shows the row's record in the pane; 1 when shown.
  int ShowRowRecord(int row);
  // 1 when row (-1: the focused row) is a data row of a user kind.
  int IsUserRow(int row) const;

 protected:
  void OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) override;

 private:
  CUserRecCtrl* pane_ = nullptr;
  const char* searchFields_ = nullptr;
};

}  // namespace hrz
