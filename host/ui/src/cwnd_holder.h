// How a widget keeps the CWnd that stands for it when no member variable does.
#pragma once

#include <QObject>
#include <QWidget>

#include <memory>

#include "cwnd.h"

// A child object of the widget, so the CWnd dies with it.
class CWndHolder : public QObject {
 public:
  CWndHolder(QWidget* widget, std::unique_ptr<CWnd> wnd) : QObject(widget), wnd_(std::move(wnd)) {}

 private:
  std::unique_ptr<CWnd> wnd_;
};

// Makes wnd stand for widget and hands it to the widget to own.
void AdoptWnd(QWidget* widget, std::unique_ptr<CWnd> wnd);

// A control reports an event (BN_CLICKED, EN_CHANGE...): WM_COMMAND with its id and the
// code goes to the CWnd of its parent widget.
void NotifyCommand(QWidget* control, int code);
