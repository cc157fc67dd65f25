#include "control_factory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstdlib>

#include "cool_controls.h"
#include "cwnd_holder.h"
#include "resources.h"

namespace hrz {
namespace {

Qt::Alignment StaticAlignment(DWORD style) {
  switch (style & SS_TYPEMASK) {
    case SS_CENTER:
      return Qt::AlignHCenter | Qt::AlignTop;
    case SS_RIGHT:
      return Qt::AlignRight | Qt::AlignTop;
    default:
      return Qt::AlignLeft | Qt::AlignTop;
  }
}

QWidget* MakeStatic(const ControlTemplate& control, QWidget* parent) {
  auto* label = new QLabel(parent);
  DWORD type = control.style & SS_TYPEMASK;
  if (type == SS_ICON || type == SS_BITMAP) {
    int id = std::atoi(control.text.c_str());
    if (type == SS_ICON) {
      if (const QIcon* icon = FindIcon(id)) label->setPixmap(icon->pixmap(32, 32));
    } else if (const QPixmap* bitmap = FindBitmap(id)) {
      label->setPixmap(*bitmap);
    }
  } else if (type >= SS_BLACKRECT && type <= SS_WHITEFRAME) {
    label->setFrameShape(QFrame::Box);
  } else if (type == SS_ETCHEDFRAME) {
    label->setFrameShape(QFrame::Box);
    label->setFrameShadow(QFrame::Sunken);
  } else {
    label->setText(QString::fromUtf8(control.text));
    label->setAlignment(StaticAlignment(control.style));
    label->setWordWrap(type != SS_LEFTNOWORDWRAP);
    label->setProperty("hrzTextFormat", type == SS_CENTER           ? DT_CENTER | DT_WORDBREAK
                                        : type == SS_RIGHT          ? DT_RIGHT | DT_WORDBREAK
                                        : type == SS_LEFTNOWORDWRAP ? DT_LEFT
                                                                    : DT_LEFT | DT_WORDBREAK);
  }
  if ((control.style & SS_SUNKEN) != 0 || (control.exStyle & WS_EX_STATICEDGE) != 0) {
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
  }
  return label;
}

QWidget* MakeButton(const ControlTemplate& control, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(control.text), parent);
  // Enter presses the default button only, as in the original dialogs.
  button->setAutoDefault(false);
  button->setDefault((control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
  QObject::connect(button, &QPushButton::clicked, button,
                   [button] { NotifyCommand(button, BN_CLICKED); });
  return button;
}

QWidget* MakeCheck(const ControlTemplate& control, QWidget* parent) {
  QAbstractButton* button;
  if (control.kind == ControlKind::RadioButton) {
    button = new QRadioButton(QString::fromUtf8(control.text), parent);
  } else {
    auto* check = new QCheckBox(QString::fromUtf8(control.text), parent);
    DWORD type = control.style & BS_TYPEMASK;
    check->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
    button = check;
  }
  QObject::connect(button, &QAbstractButton::clicked, button,
                   [button] { NotifyCommand(button, BN_CLICKED); });
  return button;
}

QWidget* MakeEdit(const ControlTemplate& control, QWidget* parent) {
  if ((control.style & ES_MULTILINE) != 0) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setReadOnly((control.style & ES_READONLY) != 0);
    edit->setLineWrapMode((control.style & ES_AUTOHSCROLL) != 0 ? QPlainTextEdit::NoWrap
                                                                : QPlainTextEdit::WidgetWidth);
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit,
                     [edit] { NotifyCommand(edit, EN_CHANGE); });
    return edit;
  }
  auto* edit = new QLineEdit(parent);
  if ((control.style & ES_PASSWORD) != 0) edit->setEchoMode(QLineEdit::Password);
  edit->setReadOnly((control.style & ES_READONLY) != 0);
  if ((control.style & ES_CENTER) != 0) edit->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  if ((control.style & ES_RIGHT) != 0) edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if ((control.style & WS_BORDER) == 0 && (control.exStyle & WS_EX_CLIENTEDGE) == 0) {
    edit->setFrame(false);
  }
  QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { NotifyCommand(edit, EN_CHANGE); });
  QObject::connect(edit, &QLineEdit::editingFinished, edit,
                   [edit] { NotifyCommand(edit, EN_KILLFOCUS); });
  return edit;
}

QWidget* MakeCombo(const ControlTemplate& control, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  DWORD type = control.style & 0x3;
  combo->setEditable(type == CBS_DROPDOWN || type == CBS_SIMPLE);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setProperty("hrzSorted", (control.style & CBS_SORT) != 0);
  // Only the user's choice is a selection change, not one made by the program.
  QObject::connect(combo, &QComboBox::activated, combo,
                   [combo] { NotifyCommand(combo, CBN_SELCHANGE); });
  QObject::connect(combo, &QComboBox::editTextChanged, combo,
                   [combo] { NotifyCommand(combo, CBN_EDITCHANGE); });
  return combo;
}

QWidget* MakeGroup(const ControlTemplate& control, QWidget* parent) {
  auto* group = new QGroupBox(QString::fromUtf8(control.text), parent);
  // A group box only frames its neighbours; clicks go through to them.
  group->setAttribute(Qt::WA_TransparentForMouseEvents);
  return group;
}

QWidget* MakeProgress(const ControlTemplate&, QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  return bar;
}

std::unique_ptr<CWnd> WrapperFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
      return std::make_unique<CCoolButton>();
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      return std::make_unique<CCoolCheckBox>();
    case ControlKind::Edit:
      return std::make_unique<CCoolMaskEdit>();
    case ControlKind::ComboBox:
      return std::make_unique<CCoolComboBox>();
    case ControlKind::Progress:
      return std::make_unique<CCoolProgress>();
    case ControlKind::Static:
    case ControlKind::GroupBox:
      return std::make_unique<CCoolLabel>();
  }
  return std::make_unique<CCoolLabel>();
}

}  // namespace

QWidget* CreateControl(const ControlTemplate& control, const QRect& pixels, QWidget* parent) {
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::Static:
      widget = MakeStatic(control, parent);
      break;
    case ControlKind::Button:
      widget = MakeButton(control, parent);
      break;
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      widget = MakeCheck(control, parent);
      break;
    case ControlKind::GroupBox:
      widget = MakeGroup(control, parent);
      break;
    case ControlKind::Edit:
      widget = MakeEdit(control, parent);
      break;
    case ControlKind::ComboBox:
      widget = MakeCombo(control, parent);
      break;
    case ControlKind::Progress:
      widget = MakeProgress(control, parent);
      break;
  }
  QRect geometry = pixels;
  if (control.kind == ControlKind::ComboBox) {
    // A combo box's template height is that of its drop-down list.
    geometry.setHeight(std::min(pixels.height(), widget->sizeHint().height()));
  }
  widget->setGeometry(geometry);
  widget->setEnabled((control.style & WS_DISABLED) == 0);
  widget->setVisible((control.style & WS_VISIBLE) != 0);
  widget->setFocusPolicy((control.style & WS_TABSTOP) != 0 ? Qt::StrongFocus
                         : control.kind == ControlKind::Static ||
                                 control.kind == ControlKind::GroupBox
                             ? Qt::NoFocus
                             : Qt::ClickFocus);
  if (control.kind == ControlKind::GroupBox) widget->lower();
  AdoptWnd(widget, WrapperFor(control.kind));
  CWnd::FromWidget(widget)->SetDlgCtrlID(control.id);
  return widget;
}

QWidget* CreateControl(ControlKind kind, const char* text, DWORD style, const RECT& rect,
                       CWnd* parent, UINT id) {
  if (parent == nullptr || parent->GetWidget() == nullptr) return nullptr;
  ControlTemplate control;
  control.kind = kind;
  control.text = text != nullptr ? text : "";
  control.id = static_cast<int>(id);
  control.style = style;
  QRect pixels(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  return CreateControl(control, pixels, parent->GetWidget());
}

}  // namespace hrz
