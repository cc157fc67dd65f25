#include <QApplication>
#include <QMessageBox>

#include "platform_automation.h"
#include "platform_ui.h"
#include "qt_handle.h"

namespace {

QMessageBox::Icon IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
      return QMessageBox::Warning;
    case MB_ICONASTERISK:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNO:
      return QMessageBox::Yes | QMessageBox::No;
    case MB_YESNOCANCEL:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

int IdOf(int button) {
  switch (button) {
    case QMessageBox::Ok:
      return IDOK;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      return IDCANCEL;
  }
}

}  // namespace

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  if (hrz::PlatformAutomation* automation = hrz::GetPlatformAutomation()) {
    return automation->AnswerMessageBox(
        {owner, text != nullptr ? text : "", caption != nullptr ? caption : "Error", type});
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return 0;
  QWidget* parent = owner != nullptr ? WidgetFromHwnd(owner) : QApplication::activeWindow();
  QMessageBox box(IconOf(type), QString::fromUtf8(caption != nullptr ? caption : "Error"),
                  QString::fromUtf8(text != nullptr ? text : ""), ButtonsOf(type), parent);
  if ((type & MB_TYPEMASK) == MB_YESNO) box.setEscapeButton(QMessageBox::No);
  return IdOf(box.exec());
}
