// CWnd: a window of the widget library, a thin handle on a Qt widget. The widget holds the
// state; several CWnd objects may wrap the same widget (a dialog's own and a member that
// subclassed the control). Every control carries an object name made from its id
// (ControlObjectName), by which dialogs and tests find it.
#pragma once

#include <QPointer>
#include <QWidget>

#include <string>

#include "wintypes.h"

// Messages and notifications the module sends or handles.
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_USER = 0x0400;

constexpr int BN_CLICKED = 0;
constexpr int EN_CHANGE = 0x0300;
constexpr int EN_KILLFOCUS = 0x0200;
constexpr int CBN_SELCHANGE = 1;
constexpr int CBN_EDITCHANGE = 5;

constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F5 = 0x74;

namespace hrz {
// The virtual key of a Qt key and back; 0 for keys that have none.
int VirtualKeyOf(int qtKey);
int QtKeyOf(int virtualKey);
}  // namespace hrz

constexpr int SW_HIDE_WINDOW = 0;
constexpr int SW_SHOW_WINDOW = 5;
constexpr int SW_MAXIMIZE = 3;  // a top-level window: maximised now, or when it is first shown

constexpr WPARAM MAKEWPARAM(int low, int high) {
  return static_cast<WPARAM>((low & 0xffff) | ((high & 0xffff) << 16));
}
constexpr int LOWORD(WPARAM value) {
  return static_cast<int>(value & 0xffff);
}
constexpr int HIWORD(WPARAM value) {
  return static_cast<int>((value >> 16) & 0xffff);
}

struct MSG {
  HWND hwnd = nullptr;  // the window the input is for
  UINT message = 0;
  WPARAM wParam = 0;  // WM_KEYDOWN: the virtual key
  LPARAM lParam = 0;
};

class CRect : public RECT {
 public:
  CRect() = default;
  CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}  // NOLINT: converts like the original
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void OffsetRect(LONG dx, LONG dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  void InflateRect(LONG dx, LONG dy) {
    left -= dx;
    right += dx;
    top -= dy;
    bottom += dy;
  }
  void DeflateRect(LONG dx, LONG dy) { InflateRect(-dx, -dy); }
  bool operator==(const CRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// The object name of the control with this id ("ctl1007").
QString ControlObjectName(int id);

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const;
  QWidget* GetWidget() const;
  // The CWnd that stands for widget: a subclassing member, else one made for it and
  // owned by widget. Null for a null widget.
  static CWnd* FromWidget(QWidget* widget);
  static CWnd* FromHandle(HWND window);

  // Makes this object the one that stands for the control id of parent (a member variable
  // bound to a template control). FALSE when parent has no such control.
  BOOL SubclassDlgItem(UINT id, CWnd* parent);

  int GetDlgCtrlID() const;
  void SetDlgCtrlID(int id);
  CWnd* GetDlgItem(int id) const;  // null when there is none
  CWnd* GetParent() const;

  void SetWindowText(const char* text);
  std::string GetWindowText() const;
  int GetWindowText(char* buffer, int capacity) const;  // bounded; returns the length copied
  int GetWindowTextLength() const;
  void SetDlgItemText(int id, const char* text);
  std::string GetDlgItemText(int id) const;
  UINT GetDlgItemText(int id, char* buffer, int capacity) const;

  // SW_HIDE_WINDOW, SW_SHOW_WINDOW or SW_MAXIMIZE; returns the old visibility.
  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;
  BOOL EnableWindow(BOOL enable);  // returns TRUE when it was disabled before
  BOOL IsWindowEnabled() const;
  void SetFocus();
  // The window that has the keyboard focus in this application; null when none has.
  static CWnd* GetFocus();
  // Rectangles: client in own pixels from 0,0; window in screen pixels.
  void GetClientRect(RECT* rect) const;
  void GetWindowRect(RECT* rect) const;
  void ScreenToClient(RECT* rect) const;
  void ClientToScreen(RECT* rect) const;
  void ScreenToClient(POINT* point) const;
  void ClientToScreen(POINT* point) const;
  void MoveWindow(const RECT& rect, BOOL repaint = TRUE);  // in the parent's client pixels
  void Invalidate(BOOL erase = TRUE);
  void RedrawWindow() { Invalidate(); }
  void SetRedraw(BOOL redraw);
  BOOL DestroyWindow();

  // WM_COMMAND goes to OnCommand (a plain window passes it to its parent), WM_CLOSE to
  // OnClose; others to WindowProc.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // The same, after the current event has been handled; dropped if the window goes first.
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Binds this object to widget; from now on it stands for the widget (FromWidget).
  void Attach(QWidget* widget);
  QWidget* Detach();

  // Automation of controls that hold items (lists, trees, grids): select the item at index
  // as a user click would, and activate it as a double click would. False when this kind of
  // control has no such item. Trees and grids override these.
  virtual bool AutomationSelect(int index);
  virtual bool AutomationActivate(int index);
  // The index of the selected item, -1 for none or when the control has no items.
  virtual int AutomationSelection() const;
  // Items with parts (tree nodes): click one part of the item at index (a check mark, an
  // image), as a user's mouse press there would. False when there is no such item.
  virtual bool AutomationClickPart(int index, int part);
  // The first item, in index order, whose text is text; -1 when none.
  virtual int AutomationFindItem(const std::string& text) const;
  // The check mark of the item at index: -1 none (or no such item), 0 cleared, 1 set.
  virtual int AutomationItemCheck(int index) const;

 protected:
  // Places view (a child widget this window owns) on parent at rect with id: the common
  // part of Create for windows built around a Qt view.
  BOOL PlaceView(QWidget* view, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual void OnClose();
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  QPointer<QWidget> widget_;
};
