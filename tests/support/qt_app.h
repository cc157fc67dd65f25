// The one QApplication of a test or benchmark program, on the offscreen platform unless the
// caller chose another (CTest sets QT_QPA_PLATFORM; test discovery and runs by hand do not).
#pragma once

#include <gtest/gtest.h>

class QApplication;

namespace hrztest {

// Made on first use and never destroyed: Qt's own statics may go first at exit.
QApplication& App();

// A fixture whose members may be widgets: the application exists before they are built.
class QtTest : public ::testing::Test {
 protected:
  QtTest() { App(); }
};

}  // namespace hrztest
