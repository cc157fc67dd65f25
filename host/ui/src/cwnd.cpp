#include "cwnd.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QVariant>

#include <cstring>

#include "cwnd_holder.h"
#include "dialog_template.h"
#include "hrzcommon/text.h"
#include "qt_handle.h"

namespace {

constexpr const char* kWndProperty = "hrzCWnd";
constexpr const char* kIdProperty = "hrzCtrlId";
constexpr const char* kOwnWndProperty = "hrzOwnWnd";

CWnd* PropertyWnd(QWidget* widget) {
  return reinterpret_cast<CWnd*>(widget->property(kWndProperty).value<quintptr>());
}

void SetPropertyWnd(QWidget* widget, CWnd* wnd) {
  widget->setProperty(kWndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(wnd)));
}

// The CWnd the widget owns, if it has one.
CWnd* OwnWnd(QWidget* widget) {
  return reinterpret_cast<CWnd*>(widget->property(kOwnWndProperty).value<quintptr>());
}

class PlainWnd : public CWnd {
 public:
  explicit PlainWnd(QWidget* widget) { Attach(widget); }
};

}  // namespace

QString ControlObjectName(int id) {
  return QStringLiteral("ctl%1").arg(id);
}

CWnd::~CWnd() {
  if (widget_ == nullptr || PropertyWnd(widget_) != this) return;
  CWnd* own = OwnWnd(widget_);
  SetPropertyWnd(widget_, own != this ? own : nullptr);
}

HWND CWnd::GetSafeHwnd() const {
  return HwndFromWidget(widget_);
}
QWidget* CWnd::GetWidget() const {
  return widget_;
}

CWnd* CWnd::FromWidget(QWidget* widget) {
  if (widget == nullptr) return nullptr;
  if (CWnd* wnd = PropertyWnd(widget)) return wnd;
  if (CWnd* own = OwnWnd(widget)) return own;
  auto plain = std::make_unique<PlainWnd>(widget);
  CWnd* wnd = plain.get();
  AdoptWnd(widget, std::move(plain));
  return wnd;
}

void AdoptWnd(QWidget* widget, std::unique_ptr<CWnd> wnd) {
  wnd->Attach(widget);
  widget->setProperty(kOwnWndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(wnd.get())));
  new CWndHolder(widget, std::move(wnd));
}

void NotifyCommand(QWidget* control, int code) {
  if (control == nullptr) return;
  CWnd* self = CWnd::FromWidget(control);
  CWnd* parent = self->GetParent();
  if (parent == nullptr) return;
  parent->SendMessage(WM_COMMAND, MAKEWPARAM(self->GetDlgCtrlID(), code),
                      reinterpret_cast<LPARAM>(self->GetSafeHwnd()));
}

CWnd* CWnd::FromHandle(HWND window) {
  return FromWidget(WidgetFromHwnd(window));
}

BOOL CWnd::PlaceView(QWidget* view, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (view == nullptr || parent == nullptr || parent->GetWidget() == nullptr) return FALSE;
  view->setParent(parent->GetWidget());
  view->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  view->setVisible((style & WS_VISIBLE) != 0);
  SetDlgCtrlID(static_cast<int>(id));
  return TRUE;
}

void CWnd::Attach(QWidget* widget) {
  widget_ = widget;
  if (widget != nullptr) SetPropertyWnd(widget, this);
}

QWidget* CWnd::Detach() {
  QWidget* widget = widget_;
  if (widget != nullptr && PropertyWnd(widget) == this) {
    CWnd* own = OwnWnd(widget);
    SetPropertyWnd(widget, own != this ? own : nullptr);
  }
  widget_ = nullptr;
  return widget;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (parent == nullptr || parent->GetWidget() == nullptr) return FALSE;
  auto* control = parent->GetWidget()->findChild<QWidget*>(ControlObjectName(static_cast<int>(id)));
  if (control == nullptr) return FALSE;
  Attach(control);
  return TRUE;
}

int CWnd::GetDlgCtrlID() const {
  if (widget_ == nullptr) return 0;
  QVariant id = widget_->property(kIdProperty);
  return id.isValid() ? id.toInt() : 0;
}

void CWnd::SetDlgCtrlID(int id) {
  if (widget_ == nullptr) return;
  widget_->setProperty(kIdProperty, id);
  widget_->setObjectName(ControlObjectName(id));
}

CWnd* CWnd::GetDlgItem(int id) const {
  if (widget_ == nullptr) return nullptr;
  return FromWidget(widget_->findChild<QWidget*>(ControlObjectName(id)));
}

CWnd* CWnd::GetParent() const {
  return widget_ != nullptr ? FromWidget(widget_->parentWidget()) : nullptr;
}

void CWnd::SetWindowText(const char* text) {
  if (widget_ == nullptr) return;
  QString value = QString::fromUtf8(text != nullptr ? text : "");
  if (auto* edit = qobject_cast<QLineEdit*>(widget_)) {
    edit->setText(value);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget_)) {
    plain->setPlainText(value);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
    if (combo->isEditable()) {
      combo->setEditText(value);
    } else {
      combo->setCurrentIndex(combo->findText(value));
    }
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget_)) {
    button->setText(value);
  } else if (auto* label = qobject_cast<QLabel*>(widget_)) {
    label->setText(value);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget_)) {
    group->setTitle(value);
  } else {
    widget_->setWindowTitle(value);
  }
}

std::string CWnd::GetWindowText() const {
  if (widget_ == nullptr) return {};
  QString value;
  if (auto* edit = qobject_cast<QLineEdit*>(widget_)) {
    value = edit->text();
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget_)) {
    value = plain->toPlainText();
  } else if (auto* combo = qobject_cast<QComboBox*>(widget_)) {
    value = combo->currentText();
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget_)) {
    value = button->text();
  } else if (auto* label = qobject_cast<QLabel*>(widget_)) {
    value = label->text();
  } else if (auto* group = qobject_cast<QGroupBox*>(widget_)) {
    value = group->title();
  } else {
    value = widget_->windowTitle();
  }
  return value.toStdString();
}

int CWnd::GetWindowText(char* buffer, int capacity) const {
  if (buffer == nullptr || capacity <= 0) return 0;
  hrz::CopyBounded(buffer, capacity, GetWindowText());
  return static_cast<int>(std::strlen(buffer));
}

int CWnd::GetWindowTextLength() const {
  return static_cast<int>(GetWindowText().size());
}

void CWnd::SetDlgItemText(int id, const char* text) {
  if (CWnd* item = GetDlgItem(id)) item->SetWindowText(text);
}

std::string CWnd::GetDlgItemText(int id) const {
  CWnd* item = GetDlgItem(id);
  return item != nullptr ? item->GetWindowText() : std::string();
}

UINT CWnd::GetDlgItemText(int id, char* buffer, int capacity) const {
  CWnd* item = GetDlgItem(id);
  if (item == nullptr) {
    if (buffer != nullptr && capacity > 0) buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(item->GetWindowText(buffer, capacity));
}

BOOL CWnd::ShowWindow(int command) {
  if (widget_ == nullptr) return FALSE;
  BOOL was = widget_->isVisibleTo(widget_->parentWidget()) ? TRUE : FALSE;
  if (command == SW_MAXIMIZE && widget_->isWindow()) {
    // A window not shown yet keeps the state for its first showing (a modal run's).
    widget_->setWindowState(widget_->windowState() | Qt::WindowMaximized);
    return was;
  }
  widget_->setVisible(command != SW_HIDE_WINDOW);
  return was;
}

BOOL CWnd::IsWindowVisible() const {
  if (widget_ == nullptr) return FALSE;
  if (widget_->isWindow()) return widget_->isVisible() ? TRUE : FALSE;
  // Before its window is shown, a control counts as visible when it would be.
  return widget_->isVisibleTo(widget_->window()) ? TRUE : FALSE;
}

BOOL CWnd::EnableWindow(BOOL enable) {
  if (widget_ == nullptr) return FALSE;
  BOOL wasDisabled = widget_->isEnabled() ? FALSE : TRUE;
  widget_->setEnabled(enable != FALSE);
  return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
  return widget_ != nullptr && widget_->isEnabled() ? TRUE : FALSE;
}

void CWnd::SetFocus() {
  if (widget_ != nullptr) widget_->setFocus(Qt::OtherFocusReason);
}

CWnd* CWnd::GetFocus() {
  QWidget* focus = QApplication::focusWidget();
  // A window that is not active (no window system gives it the keyboard) still knows which
  // of its controls would have the focus: the running modal dialog's is the one.
  if (focus == nullptr && QApplication::activeModalWidget() != nullptr) {
    focus = QApplication::activeModalWidget()->focusWidget();
  }
  return FromWidget(focus);
}

void CWnd::GetClientRect(RECT* rect) const {
  if (rect == nullptr) return;
  *rect = RECT{};
  if (widget_ == nullptr) return;
  rect->right = widget_->width();
  rect->bottom = widget_->height();
}

void CWnd::GetWindowRect(RECT* rect) const {
  if (rect == nullptr) return;
  *rect = RECT{};
  if (widget_ == nullptr) return;
  QPoint origin = widget_->mapToGlobal(QPoint(0, 0));
  *rect =
      RECT{origin.x(), origin.y(), origin.x() + widget_->width(), origin.y() + widget_->height()};
}

void CWnd::ScreenToClient(POINT* point) const {
  if (point == nullptr || widget_ == nullptr) return;
  QPoint local = widget_->mapFromGlobal(QPoint(point->x, point->y));
  *point = POINT{local.x(), local.y()};
}

void CWnd::ClientToScreen(POINT* point) const {
  if (point == nullptr || widget_ == nullptr) return;
  QPoint global = widget_->mapToGlobal(QPoint(point->x, point->y));
  *point = POINT{global.x(), global.y()};
}

void CWnd::ScreenToClient(RECT* rect) const {
  if (rect == nullptr) return;
  POINT topLeft{rect->left, rect->top};
  POINT bottomRight{rect->right, rect->bottom};
  ScreenToClient(&topLeft);
  ScreenToClient(&bottomRight);
  *rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

void CWnd::ClientToScreen(RECT* rect) const {
  if (rect == nullptr) return;
  POINT topLeft{rect->left, rect->top};
  POINT bottomRight{rect->right, rect->bottom};
  ClientToScreen(&topLeft);
  ClientToScreen(&bottomRight);
  *rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint) {
  if (widget_ == nullptr) return;
  widget_->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  if (repaint) widget_->update();
}

void CWnd::Invalidate(BOOL) {
  if (widget_ != nullptr) widget_->update();
}

void CWnd::SetRedraw(BOOL redraw) {
  if (widget_ != nullptr) widget_->setUpdatesEnabled(redraw != FALSE);
}

BOOL CWnd::DestroyWindow() {
  QWidget* widget = Detach();
  if (widget == nullptr) return FALSE;
  widget->deleteLater();
  widget->hide();
  return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return OnCommand(wParam, lParam);
    case WM_CLOSE:
      OnClose();
      return 0;
    default:
      return WindowProc(message, wParam, lParam);
  }
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (widget_ == nullptr) return FALSE;
  QPointer<QWidget> widget = widget_;
  // Delivered to whichever object stands for the widget when the message arrives.
  QMetaObject::invokeMethod(
      widget_,
      [widget, message, wParam, lParam] {
        if (CWnd* wnd = widget != nullptr ? FromWidget(widget) : nullptr) {
          wnd->SendMessage(message, wParam, lParam);
        }
      },
      Qt::QueuedConnection);
  return TRUE;
}

bool CWnd::AutomationSelect(int) {
  return false;
}
bool CWnd::AutomationActivate(int) {
  return false;
}
int CWnd::AutomationSelection() const {
  return -1;
}

bool CWnd::AutomationClickPart(int, int) {
  return false;
}

int CWnd::AutomationFindItem(const std::string&) const {
  return -1;
}

int CWnd::AutomationItemCheck(int) const {
  return -1;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  // A plain window passes its children's notifications on to its own parent.
  CWnd* parent = GetParent();
  return parent != nullptr ? parent->OnCommand(wParam, lParam) : FALSE;
}

void CWnd::OnClose() {
  DestroyWindow();
}

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM) {
  return 0;
}
