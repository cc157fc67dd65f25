// Tip windows: small frameless windows shown next to a control and hidden on request or
// after a while.
#pragma once

#include <string>

#include "cwnd.h"

class CBaseTipWnd : public CWnd {
 public:
  ~CBaseTipWnd() override;
  // Creates the (hidden) tip window owned by parent's window.
  BOOL Create(CWnd* parent);
  void HideMe();
  BOOL IsShown() const;
  std::string GetTipText() const;

 protected:
  // Shows text at a screen point, with an optional picture; hides after hideAfterMs (0: not).
  void ShowAt(const char* text, POINT screen, int bitmapId, UINT hideAfterMs);
  // The screen point just below the anchor's left edge.
  static POINT BelowOf(CWnd* anchor);
};

class CCoolToolTip : public CBaseTipWnd {
 public:
  void ShowMe(const char* text, POINT screen, UINT hideAfterMs = 3000);
  void ShowMe(CWnd* anchor, const char* text, UINT hideAfterMs = 3000);
};

// A tip with a bitmap of the current resource module beside the text.
class CBitmapBalloonTip : public CBaseTipWnd {
 public:
  BOOL Create(CWnd* parent, int bitmapId);
  void ShowMe(CWnd* anchor, const char* text, UINT hideAfterMs = 5000);
  // At a screen point, for hints that point into a window rather than at a control.
  void ShowMe(const char* text, POINT screen, UINT hideAfterMs = 5000);

 private:
  int bitmapId_ = 0;
};
