// One QApplication for a test binary; GUI tests run on the offscreen platform that CTest
// sets (QT_QPA_PLATFORM), or choose it themselves when started by hand.
#pragma once

#include <QApplication>

#include <cstdlib>

namespace hrz::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "hrz_ui_tests";
  static char* argv[] = {name, nullptr};
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: Qt's own statics may go first at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace hrz::test
