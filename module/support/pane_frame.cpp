#include "support/pane_frame.h"

namespace hrz {
namespace {

constexpr COLORREF kPaneFrameColor = RGB(175, 192, 216);

}  // namespace

void FramePane(CDC& dc, CWnd& dialog, CWnd& pane) {
  if (pane.GetSafeHwnd() == nullptr) return;
  CRect frame(ClientRectOf(dialog, pane));
  frame.InflateRect(1, 1);
  dc.FrameRect(frame, kPaneFrameColor);
}

RECT ClientRectOf(CWnd& dialog, CWnd& control) {
  CRect rect;
  control.GetWindowRect(&rect);
  dialog.ScreenToClient(&rect);
  return rect;
}

}  // namespace hrz
