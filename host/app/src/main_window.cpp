#include "main_window.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include <cstring>

#include "platform_ui.h"
#include "qt_handle.h"
#include "xclidb.h"

namespace hrzhost {

MainWindow::MainWindow(HostBridge& bridge, const std::string& user, const std::string& location)
    : bridge_(bridge) {
  setWindowTitle(QStringLiteral("hrzhost - %1").arg(QString::fromStdString(user)));
  resize(900, 560);
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QMenu* admin = menuBar()->addMenu(QStringLiteral("&Administration"));
  QToolBar* tools = addToolBar(QStringLiteral("Commands"));
  tools->setObjectName(QStringLiteral("commands"));
  for (const HostCommand& command : HostCommands()) {
    auto* action = new QAction(QString::fromUtf8(command.label), this);
    action->setObjectName(QString::fromUtf8(command.name));
    action->setToolTip(QString::fromUtf8(command.name));
    connect(action, &QAction::triggered, this, [this, &command] { RunCommand(command); });
    (command.moduleCommand ? admin : file)->addAction(action);
    if (command.moduleCommand) tools->addAction(action);
  }
  // Where no window manager draws a title bar (the VNC display), this is the way out.
  file->addSeparator();
  QAction* exit = file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);
  exit->setObjectName(QStringLiteral("exit"));
  exit->setShortcut(QKeySequence::Quit);
  // The same commands as a list in the middle of the window: double click or Enter runs one.
  auto* list = new QListWidget(this);
  list->setObjectName(QStringLiteral("commandList"));
  for (const HostCommand& command : HostCommands()) {
    if (!command.moduleCommand) continue;
    auto* item = new QListWidgetItem(
        QStringLiteral("%1    (%2)").arg(QString::fromUtf8(command.label), command.name), list);
    item->setData(Qt::UserRole, QString::fromUtf8(command.name));
  }
  connect(list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    if (const HostCommand* command =
            FindHostCommand(item->data(Qt::UserRole).toString().toStdString())) {
      RunCommand(*command);
    }
  });
  setCentralWidget(list);
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("E&xit"));
  connect(quit, &QAction::triggered, this, &QWidget::close);

  auto* who = new QLabel(QStringLiteral("%1 @ %2").arg(QString::fromStdString(user),
                                                       QString::fromStdString(location)));
  statusBar()->addPermanentWidget(who);
  result_ = new QLabel(QStringLiteral("Logged on as %1").arg(QString::fromStdString(user)));
  result_->setObjectName(QStringLiteral("result"));
  statusBar()->addWidget(result_, 1);
}

QString MainWindow::StatusText() const {
  return result_->text();
}

HostBridge::Outcome MainWindow::RunCommand(const HostCommand& command) {
  HostBridge::Outcome outcome = bridge_.Run(command, [this, &command] { RunHostCommand(command); });
  if (outcome.captured) {
    result_->setText(QStringLiteral("%1 was captured").arg(command.name));
  } else if (std::strcmp(command.name, "XSELUSER") == 0) {
    result_->setText(ChosenRecordText(outcome.result));
  } else if (std::strcmp(command.name, "XCHGEXPIREDPWD") == 0) {
    result_->setText(outcome.out == "OK" ? QStringLiteral("Password changed")
                                         : QStringLiteral("Password not changed"));
  } else if (command.moduleCommand) {
    result_->setText(QStringLiteral("%1 done").arg(command.name));
  }
  return outcome;
}

QString MainWindow::ChosenRecordText(int nid) const {
  if (nid < 1) return QStringLiteral("XSELUSER: nothing chosen (it returned %1)").arg(nid);
  char code[128] = "";
  char kind[17] = "";
  char name[256] = "";
  if (XCliNIDToCode(bridge_.Connection(), "UUSR", nid, code, kind, name, 0) == 0) {
    return QStringLiteral("XSELUSER: NID %1, a record this store does not hold").arg(nid);
  }
  QString text = QStringLiteral("XSELUSER: NID %1, code %2 (%3")
                     .arg(nid)
                     .arg(QString::fromUtf8(code), QString::fromUtf8(kind));
  if (name[0] != '\0') text += QStringLiteral(", ") + QString::fromUtf8(name);
  return text + QStringLiteral(")");
}

void MainWindow::RunHostCommand(const HostCommand& command) {
  if (std::strcmp(command.name, "HOSTABOUT") == 0) {
    MessageBoxA(HwndFromWidget(this),
                "hrzhost: the desktop client of the administration module hrzuser.", "About",
                MB_OK | MB_ICONINFORMATION);
  }
  result_->setText(QStringLiteral("%1 done").arg(command.name));
}

}  // namespace hrzhost
