// CVertSplitWnd: a vertical bar between two groups of sibling windows. Dragging it moves
// the right edge of the left panes and the left edge of the right panes, keeping each side
// at least its minimum width.
#pragma once

#include <vector>

#include "cwnd.h"

class CVertSplitWnd : public CWnd {
 public:
  ~CVertSplitWnd() override;
  // The bar at rect, in the parent's client pixels.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // Panes are siblings given by control id; FALSE when the parent has no such window.
  BOOL AttachAsLeftPane(UINT id);
  BOOL AttachAsRightPane(UINT id);
  void SetMinWidth(int left, int right);
  // Forgets the panes; the bar then moves alone.
  void Unbind();
  // Moves the bar's left edge to x (parent pixels) within the limits, as a drag does.
  void MoveBarTo(int x);

 private:
  struct Pane {
    UINT id;
    int gap;  // between the pane's edge and the bar, kept as the bar moves
  };
  std::vector<Pane> left_;
  std::vector<Pane> right_;
  int minLeft_ = 0;
  int minRight_ = 0;
};
