#include "dialog_widget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>

#include "cool_dialog.h"
#include "qt_handle.h"

namespace hrz {

DialogWidget::DialogWidget(CCoolDialog* dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {}

DialogWidget::~DialogWidget() {
  WatchKeys(false);
}

void DialogWidget::WatchKeys(bool on) {
  if (on == watching_ || QCoreApplication::instance() == nullptr) return;
  if (on) {
    QCoreApplication::instance()->installEventFilter(this);
  } else {
    QCoreApplication::instance()->removeEventFilter(this);
  }
  watching_ = on;
}

bool DialogWidget::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* target = qobject_cast<QWidget*>(watched);
  // Keys of other windows, nested dialogs included, are theirs.
  if (target == nullptr || target->window() != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  MSG msg;
  msg.hwnd = HwndFromWidget(target);
  msg.message = WM_KEYDOWN;
  msg.wParam = static_cast<WPARAM>(VirtualKeyOf(key->key()));
  return dialog_->PreTranslateMessage(&msg) != FALSE;
}

void DialogWidget::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  CDC dc(&painter);
  dialog_->OnPaint(dc);
}

void DialogWidget::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  dialog_->OnSize(SIZE_RESTORED, width(), height());
}

void DialogWidget::timerEvent(QTimerEvent* event) {
  for (const auto& [id, qtId] : dialog_->timers_) {
    if (qtId == event->timerId()) {
      dialog_->OnTimer(id);
      return;
    }
  }
  QDialog::timerEvent(event);
}

void DialogWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter presses the default button; without one it means OK.
    for (auto* button : findChildren<QPushButton*>()) {
      if (button->isDefault() && button->isVisible() && button->isEnabled()) {
        button->click();
        return;
      }
    }
    dialog_->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
    return;
  }
  QDialog::keyPressEvent(event);
}

void DialogWidget::closeEvent(QCloseEvent* event) {
  event->ignore();  // the dialog decides, and ends itself through EndDialog
  dialog_->SendMessage(WM_CLOSE);
}

void DialogWidget::reject() {
  dialog_->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
}

void DialogWidget::accept() {
  dialog_->SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
}

}  // namespace hrz
