// Window handles of the host are its Qt widgets: an HWND is the address of a QWidget.
#pragma once

#include "wintypes.h"

class QWidget;

inline QWidget* WidgetFromHwnd(HWND window) {
  return reinterpret_cast<QWidget*>(window);
}
inline HWND HwndFromWidget(QWidget* widget) {
  return reinterpret_cast<HWND>(widget);
}
