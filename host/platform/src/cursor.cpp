#include <QCursor>
#include <QGuiApplication>

#include <cstdint>

#include "platform_ui.h"

namespace {

HCURSOR g_current = nullptr;  // UI thread only; null is the arrow
bool g_waiting = false;

HCURSOR Handle(int id) {
  return reinterpret_cast<HCURSOR>(static_cast<std::intptr_t>(id));
}

}  // namespace

HCURSOR LoadCursorA(HINSTANCE, int cursorId) {
  if (cursorId != IDC_ARROW && cursorId != IDC_WAIT) return nullptr;
  return Handle(cursorId);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = g_current != nullptr ? g_current : Handle(IDC_ARROW);
  g_current = cursor;
  bool wait = cursor == Handle(IDC_WAIT);
  if (QGuiApplication::instance() != nullptr && wait != g_waiting) {
    if (wait) {
      QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
      QGuiApplication::restoreOverrideCursor();
    }
    g_waiting = wait;
  }
  return previous;
}
