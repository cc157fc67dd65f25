#include "support/pane_frame.h"

namespace hrz {
namespace {

constexpr COLORREF kPaneFrameColor = RGB(175, 192, 216);

}  // namespace

void FramePane(CDC& dc, CWnd& dialog, CWnd& pane) {
  if (pane.GetSafeHwnd() == nullptr) return;
  CRect frame;
  pane.GetWindowRect(&frame);
  dialog.ScreenToClient(&frame);
  frame.InflateRect(1, 1);
  dc.FrameRect(frame, kPaneFrameColor);
}

}  // namespace hrz
