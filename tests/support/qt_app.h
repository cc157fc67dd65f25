// The one QApplication of a test or benchmark program, on the offscreen platform unless the
// caller chose another (CTest sets QT_QPA_PLATFORM; test discovery and runs by hand do not).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

class QApplication;

namespace hrztest {

// Made on first use and never destroyed: Qt's own statics may go first at exit.
QApplication& App();

// A fixture whose members may be widgets: the application exists before they are built.
class QtTest : public ::testing::Test {
 protected:
  QtTest() { App(); }
};

// The texts of the tip windows shown now (CCoolToolTip, CBitmapBalloonTip), in no
// particular order.
std::vector<std::string> ShownTips();
// ShownTips once a tip shows, handling events meanwhile; empty after timeoutMs without one.
std::vector<std::string> WaitForShownTips(int timeoutMs = 5000);

}  // namespace hrztest
