#include "privileges/pvg_search_grid.h"

#include "privileges/usrfngrd.h"

namespace hrz {

void CPvgSearchGrid::ShowRowPrivileges(int row) {
  if (grid_ == nullptr) return;
  if (row < 0) row = GetFocusCell().row;
  grid_->LoadNode(GetRecNID(row));
}

void CPvgSearchGrid::OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) {
  CUserFindGrid::OnRowColChange(oldRow, oldCol, newRow, newCol);
  if (oldRow == newRow || grid_ == nullptr) return;
  if (!grid_->SaveBeforeLeaving()) {
    SetFocusCell(oldRow, oldCol, FALSE);
    return;
  }
  ShowRowPrivileges(newRow);
}

}  // namespace hrz
