// CPvgSearchGrid: the quick-search result of the privilege editor. Choosing a row first
// saves the privileges the grid shows, then shows the chosen record's; when the save fails
// the user chooses between staying on the old row and dropping the marks.
#pragma once

#include "org/usrfndlg.h"

namespace hrz {

class XFuncPvgGrid;

class CPvgSearchGrid : public CUserFindGrid {
 public:
  void SetGrid(XFuncPvgGrid* grid) { grid_ = grid; }
  // Shows the record of row (-1: the focused row) in the privilege grid, without saving.
  void ShowRowPrivileges(int row);

 protected:
  void OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) override;

 private:
  XFuncPvgGrid* grid_ = nullptr;
};

}  // namespace hrz
