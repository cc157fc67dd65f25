#include "xrecobjctrl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "dialog_template.h"
#include "hrzcommon/text.h"
#include "layouts.h"
#include "value_lists.h"
#include "xrecobj_form.h"

using hrz::ui::XFormCtrl;
using hrz::ui::XFormLayout;

int XNewCodeEntry(int code, const char* command, void** params, char* out);

namespace {

constexpr int kMargin = 10;
constexpr int kLabelWidth = 130;
constexpr int kGap = 6;
constexpr int kRowHeight = 24;
constexpr int kButtonWidth = 160;
constexpr double kTenthsOfMmPerInch = 254.0;

// A placement number of a layout script (tenths of a millimetre) in pixels at dpi.
int ScriptUnitsToPixels(int units, int dpi) {
  return static_cast<int>(std::lround(units * dpi / kTenthsOfMmPerInch));
}

struct ButtonLibs {
  std::mutex lock;  // guards entries
  std::map<std::string, HRZCmdFunc> entries{{"XNEWCODE", XNewCodeEntry}};
};

ButtonLibs& Libs() {
  static ButtonLibs libs;
  return libs;
}

QWidget* MakeControl(const XFormCtrl& ctrl, QWidget* parent) {
  QString value = QString::fromStdString(ctrl.value);
  if (ctrl.kind == "edit") {
    auto* edit = new QLineEdit(value, parent);
    if (!ctrl.echo.empty()) edit->setEchoMode(QLineEdit::Password);
    edit->setReadOnly(!ctrl.editable);
    return edit;
  }
  if (ctrl.kind == "combo") {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    for (const hrzcfg::FieldValue& item : hrzcfg::FieldValueList(ctrl.valueList)) {
      combo->addItem(QString::fromUtf8(item.shown));
    }
    combo->setCurrentText(value);
    combo->setEnabled(ctrl.editable);
    return combo;
  }
  if (ctrl.kind == "check box") {
    auto* check =
        new QCheckBox(value.isEmpty() ? QString::fromStdString(ctrl.label) : value, parent);
    check->setEnabled(ctrl.editable);
    return check;
  }
  if (ctrl.kind == "button") {
    std::string text = !ctrl.label.empty()   ? ctrl.label
                       : !ctrl.value.empty() ? ctrl.value
                                             : ctrl.name;
    return new QPushButton(QString::fromStdString(text), parent);
  }
  return new QLabel(value.isEmpty() ? QString::fromStdString(ctrl.label) : value, parent);
}

}  // namespace

namespace hrz::ui {

// The form's window: lays the controls out when resized and shows the form the keys typed
// in its controls first.
class XFormWidget : public QWidget {
 public:
  explicit XFormWidget(XRecObjCtrl* owner) : owner_(owner) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      MSG msg;
      msg.message = WM_KEYDOWN;
      msg.wParam = static_cast<WPARAM>(hrz::VirtualKeyOf(key->key()));
      if (msg.wParam != 0 && owner_->PreTranslateMessage(&msg)) return true;
    }
    return QWidget::eventFilter(watched, event);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    owner_->Layout();
  }

 private:
  XRecObjCtrl* owner_;
};

}  // namespace hrz::ui

XRecObjCtrl::XRecObjCtrl()
    : page_(new hrz::ui::XFormWidget(this)), form_(std::make_unique<XFormLayout>()) {
  Attach(page_);
}

XRecObjCtrl::~XRecObjCtrl() {
  Detach();
  delete page_.data();
}

BOOL XRecObjCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (page_ == nullptr || parent == nullptr || parent->GetWidget() == nullptr) return FALSE;
  page_->setParent(parent->GetWidget());
  page_->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  page_->setVisible((style & WS_VISIBLE) != 0);
  SetDlgCtrlID(static_cast<int>(id));
  return TRUE;
}

BOOL XRecObjCtrl::LoadLayout(const char* layoutName) {
  const char* script = layoutName != nullptr ? hrzcfg::LayoutScript(layoutName) : nullptr;
  if (script == nullptr) {
    lastError_ = "no layout named \"" + std::string(layoutName ? layoutName : "") + "\"";
    return FALSE;
  }
  return LoadLayoutScript(script);
}

BOOL XRecObjCtrl::LoadLayoutScript(const char* script) {
  auto form = std::make_unique<XFormLayout>();
  if (script == nullptr || !hrz::ui::ParseFormLayout(script, form.get(), &lastError_)) {
    if (script == nullptr) lastError_ = "no script";
    return FALSE;
  }
  if (page_ == nullptr) {
    lastError_ = "the form's window is gone";
    return FALSE;
  }
  for (XFormCtrl& ctrl : form_->ctrls) {
    delete ctrl.wnd;
    delete ctrl.labelWnd;
  }
  form_ = std::move(form);
  int node = 0;
  for (XFormCtrl& ctrl : form_->ctrls) {
    ++node;
    ctrl.wnd = MakeControl(ctrl, page_);
    ctrl.wnd->setObjectName(QString::fromStdString(ctrl.name));
    ctrl.wnd->installEventFilter(page_);
    if (ctrl.kind == "button") {
      auto* button = static_cast<QPushButton*>(ctrl.wnd.data());
      std::string name = ctrl.name;
      QObject::connect(button, &QPushButton::clicked, page_,
                       [this, name, node] { ButtonMessage(name.c_str(), node); });
    }
    if (!ctrl.label.empty() && ctrl.kind != "button" && ctrl.kind != "check box" &&
        ctrl.kind != "label") {
      ctrl.labelWnd = new QLabel(QString::fromStdString(ctrl.label), page_);
    }
  }
  lastError_.clear();
  // Placed before shown: a control shown without a size first measures its own text.
  Layout();
  for (XFormCtrl& ctrl : form_->ctrls) ctrl.wnd->setVisible(ctrl.visible);
  return TRUE;
}

void XRecObjCtrl::Layout() {
  if (page_ == nullptr) return;
  std::map<std::string, QRect> placed;
  int nextTop = kMargin;
  const int w = page_->width();
  for (XFormCtrl& ctrl : form_->ctrls) {
    const hrz::ui::OutlineItem& p = ctrl.placement;
    bool attached = false;
    int left = kMargin + kLabelWidth + kGap, top = nextTop, right = w - kMargin;
    int height = ctrl.kind == "button" ? kRowHeight + 4 : kRowHeight;
    if (ctrl.kind == "button") right = left + kButtonWidth;
    if (ctrl.kind == "check box") left = kMargin;
    for (const hrz::ui::OutlineItem& line : p.children) {
      auto parts = hrz::SplitText(line.keyword, " ");
      if (line.args.empty()) continue;
      // Placement numbers are tenths of a millimetre, as on a printed form.
      const int offset = ScriptUnitsToPixels(std::atoi(line.args[0].c_str()), page_->logicalDpiY());
      if (parts.size() == 1 && parts[0] == "height") height = offset;
      if (parts.size() == 1 && parts[0] == "width") right = left + offset;
      if (parts.size() != 2) continue;
      // The edge of the reference: another control when named, else this form.
      QRect ref(0, 0, w, page_->height());
      if (line.args.size() > 1) {
        auto found = placed.find(line.args[1]);
        if (found == placed.end()) continue;
        ref = found->second;
      }
      int edge = parts[1] == "left"    ? ref.left()
                 : parts[1] == "right" ? ref.x() + ref.width()
                 : parts[1] == "top"   ? ref.top()
                                       : ref.y() + ref.height();
      attached = true;
      if (parts[0] == "left") left = edge + offset;
      if (parts[0] == "right") right = edge + offset;
      if (parts[0] == "top") top = edge + offset;
    }
    QRect rect(left, top, std::max(right - left, 1), std::max(height, 1));
    if (ctrl.wnd) ctrl.wnd->setGeometry(rect);
    if (ctrl.labelWnd) {
      ctrl.labelWnd->setGeometry(attached ? QRect() : QRect(kMargin, top, kLabelWidth, height));
      ctrl.labelWnd->setVisible(!attached && ctrl.visible);
    }
    placed[ctrl.name] = rect;
    if (ctrl.visible) nextTop = rect.y() + rect.height() + kGap;
  }
  page_->setMinimumHeight(nextTop + kMargin);
}

const char* XRecObjCtrl::GetCurrentObj() const {
  return form_->name.c_str();
}

int XRecObjCtrl::GetCtrlCount() const {
  return static_cast<int>(form_->ctrls.size());
}

int XRecObjCtrl::GetCtrlCfgNode(const char* ctrlName) const {
  if (ctrlName == nullptr) return -1;
  for (size_t i = 0; i < form_->ctrls.size(); ++i) {
    if (hrz::EqualsNoCase(form_->ctrls[i].name, ctrlName)) return static_cast<int>(i) + 1;
  }
  return -1;
}

int XRecObjCtrl::GetCtrlCfgNodeFromOrgFldName(const char* field) const {
  if (field == nullptr || *field == '\0') return -1;
  for (size_t i = 0; i < form_->ctrls.size(); ++i) {
    if (hrz::EqualsNoCase(form_->ctrls[i].field, field)) return static_cast<int>(i) + 1;
  }
  return -1;
}

int XRecObjCtrl::GetCtrlCfgData(int node, int item, void* buffer, int size) const {
  if (node < 1 || node > GetCtrlCount() || buffer == nullptr) return 0;
  const XFormCtrl& ctrl = form_->ctrls[node - 1];
  if (item == XCTRLCFG_EDITABLE || item == XCTRLCFG_REQUIRED) {
    if (size < 4) return 0;
    unsigned char bytes[4] = {};
    bytes[2] = item == XCTRLCFG_EDITABLE ? ctrl.editable : ctrl.required;
    std::memcpy(buffer, bytes, 4);
    return 4;
  }
  if (item == XCTRLCFG_FIELD) {
    if (size < static_cast<int>(sizeof(XCtrlFieldItem))) return 0;
    XCtrlFieldItem out;
    hrz::CopyBounded(out.field, sizeof out.field, ctrl.field);
    out.typeCode = ctrl.typeCode;
    std::memcpy(buffer, &out, sizeof out);
    return sizeof out;
  }
  return 0;
}

const char* XRecObjCtrl::GetCtrlKind(int node) const {
  return node >= 1 && node <= GetCtrlCount() ? form_->ctrls[node - 1].kind.c_str() : nullptr;
}

const char* XRecObjCtrl::GetCtrlName(int node) const {
  return node >= 1 && node <= GetCtrlCount() ? form_->ctrls[node - 1].name.c_str() : nullptr;
}

const char* XRecObjCtrl::GetCtrlLabel(int node) const {
  return node >= 1 && node <= GetCtrlCount() ? form_->ctrls[node - 1].label.c_str() : nullptr;
}

CWnd* XRecObjCtrl::GetCtrlWnd(int node) const {
  if (node < 1 || node > GetCtrlCount()) return nullptr;
  return CWnd::FromWidget(form_->ctrls[node - 1].wnd.data());
}

BOOL XRecObjCtrl::SetCtrlReadOnly(int node, BOOL readOnly) {
  QWidget* wnd = node >= 1 && node <= GetCtrlCount() ? form_->ctrls[node - 1].wnd.data() : nullptr;
  if (wnd == nullptr) return FALSE;
  if (auto* edit = qobject_cast<QLineEdit*>(wnd)) {
    edit->setReadOnly(readOnly != FALSE);
  } else {
    wnd->setEnabled(!readOnly);
  }
  return TRUE;
}

BOOL XRecObjCtrl::SetFirstCtrlAsFocus() {
  for (XFormCtrl& ctrl : form_->ctrls) {
    auto* edit = qobject_cast<QLineEdit*>(ctrl.wnd.data());
    bool usable = edit != nullptr ? !edit->isReadOnly() : ctrl.wnd && ctrl.wnd->isEnabled();
    if (ctrl.visible && usable && ctrl.kind != "label") {
      ctrl.wnd->setFocus();
      return TRUE;
    }
  }
  return FALSE;
}

BOOL XRecObjCtrl::PreTranslateMessage(MSG* msg) {
  if (msg == nullptr || msg->message != WM_KEYDOWN || msg->wParam != VK_RETURN) return FALSE;
  if (page_ == nullptr) return FALSE;
  QWidget* focus = page_->focusWidget();
  if (qobject_cast<QLineEdit*>(focus) == nullptr && qobject_cast<QComboBox*>(focus) == nullptr) {
    return FALSE;
  }
  // The next field in form order that takes typing.
  bool past = false;
  for (XFormCtrl& ctrl : form_->ctrls) {
    if (past && ctrl.wnd && ctrl.wnd->isVisible() && ctrl.wnd->isEnabled() &&
        ctrl.kind != "label") {
      ctrl.wnd->setFocus();
      return TRUE;
    }
    if (ctrl.wnd == focus) past = true;
  }
  return TRUE;
}

int XRecObjCtrl::ButtonMessage(const char*, int) {
  return 0;
}

HRZCmdFunc XRecObjCtrl::LoadButtonLib(const char* buttonName) {
  if (buttonName == nullptr) return nullptr;
  ButtonLibs& libs = Libs();
  std::lock_guard<std::mutex> hold(libs.lock);
  auto found = libs.entries.find(hrz::UpperAscii(buttonName));
  return found != libs.entries.end() ? found->second : nullptr;
}

void XRecObjCtrl::RegisterButtonLib(const char* buttonName, HRZCmdFunc entry) {
  if (buttonName == nullptr) return;
  ButtonLibs& libs = Libs();
  std::lock_guard<std::mutex> hold(libs.lock);
  if (entry == nullptr) {
    libs.entries.erase(hrz::UpperAscii(buttonName));
  } else {
    libs.entries[hrz::UpperAscii(buttonName)] = entry;
  }
}
