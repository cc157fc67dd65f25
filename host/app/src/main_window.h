// The desktop client's main window: a menu and a toolbar with the module's commands and a
// few of the host's own; the status bar shows who is logged on and the last result.
#pragma once

#include <QMainWindow>

#include <string>

#include "host_bridge.h"

class QLabel;

namespace hrzhost {

class MainWindow : public QMainWindow {
 public:
  MainWindow(HostBridge& bridge, const std::string& user, const std::string& location);

  // Runs a command as its menu entry does.
  HostBridge::Outcome RunCommand(const HostCommand& command);
  QString StatusText() const;

 private:
  void RunHostCommand(const HostCommand& command);
  // The status text for the NID that "XSELUSER" returned: its kind, code and name.
  QString ChosenRecordText(int nid) const;

  HostBridge& bridge_;
  QLabel* result_;
};

}  // namespace hrzhost
