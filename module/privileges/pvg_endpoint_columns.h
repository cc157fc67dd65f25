// The privilege editor's extra column of per-user endpoint settings: the decrypt-flow
// applications on the rows "KQDECRPT" and "KQCHECK" (mode "KQFLOWUSER"), or the
// outgoing-file limits on the row "KQBRWS" (mode "KQWFUSER"). The column shows users only;
// for a department, a role or no node at all it is hidden and empty. A double-click edits
// the shown user's setting in its dialog, which stores it.
#pragma once

#include <string>
#include <string_view>

#include "privileges/usrfunc_modes.h"

class CWnd;

namespace hrz {

class XFuncPvgGrid;

// The limits cell: the count, ", ", then the time; a value below 1 as unlimited.
std::string OutgoingLimitsCell(int count, int time, std::string_view unlimited);

struct OutgoingLimitTexts {
  std::string count;
  std::string time;
};
// A limits cell as the texts its dialog starts with, unlimited read as "0"; both empty when
// the cell holds no ",".
OutgoingLimitTexts SplitOutgoingLimitsCell(std::string_view cell, std::string_view unlimited);

class PvgEndpointColumns {
 public:
  explicit PvgEndpointColumns(XFuncPvgGrid& grid) : grid_(grid) {}

  // Appends the mode's column, if it has one, hidden until a user is shown. Reading the
  // catalogue drops it: add it again after each reading.
  void Add(PvgEditorMode mode);
  int FlowCol() const { return flowCol_; }
  int LimitsCol() const { return limitsCol_; }
  // Shows nid's values when it is a user; hides and empties the column otherwise.
  void Load(int nid);
  // A double-click on a data cell; edits when it is the column's cell of a row that carries
  // the setting and nid is a shown user.
  void OnDoubleClick(CWnd* owner, int row, int col, int nid);

 private:
  bool IsCodeRow(int row, std::string_view code) const;
  bool IsFlowRow(int row) const;
  // Empties the column's cells and sets its width.
  void Reset(int col, int width);
  void LoadFlow(int nid);
  void LoadLimits(int nid);
  void EditLimits(CWnd* owner, int row, int nid);
  void EditFlow(CWnd* owner, int nid);

  XFuncPvgGrid& grid_;
  int flowCol_ = -1;
  int limitsCol_ = -1;
};

}  // namespace hrz
