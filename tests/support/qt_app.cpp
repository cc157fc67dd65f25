#include "support/qt_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <cstdlib>

namespace hrztest {

QApplication& App() {
  static int argc = 1;
  static char name[] = "hrz_test";
  static char* argv[] = {name, nullptr};
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

std::vector<std::string> ShownTips() {
  std::vector<std::string> tips;
  for (QWidget* widget : QApplication::allWidgets()) {
    auto* text = qobject_cast<QLabel*>(widget);
    if (text != nullptr && text->objectName() == QStringLiteral("tipText") &&
        text->window()->isVisible()) {
      tips.push_back(text->text().toStdString());
    }
  }
  return tips;
}

std::vector<std::string> WaitForShownTips(int timeoutMs) {
  QElapsedTimer waited;
  waited.start();
  while (ShownTips().empty() && waited.elapsed() < timeoutMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return ShownTips();
}

}  // namespace hrztest
