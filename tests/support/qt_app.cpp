#include "support/qt_app.h"

#include <QApplication>

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

}  // namespace hrztest
