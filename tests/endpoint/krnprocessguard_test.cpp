// The process guard: one registration and at most one unregistration per guard, none after
// a failed registration, and the program's loop ended when the unregistration fails.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "endpoint/krnprocessguard.h"
#include "hrzcommon/krn_protocol.h"
#include "support/qt_app.h"
#include "support/stand_in_driver.h"

namespace hrz {
namespace {

using hrztest::StandInDriver;

constexpr int kLoopStillRan = 7;

// Runs the program's event loop until it is ended, or for a short while; its exit code.
int RunLoopBriefly() {
  QTimer fallback;
  fallback.setSingleShot(true);
  QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(kLoopStillRan); });
  fallback.start(300);
  return QCoreApplication::exec();
}

long CountCode(const std::vector<hrzkrnd::Request>& requests, std::uint32_t code) {
  return std::count_if(requests.begin(), requests.end(),
                       [code](const hrzkrnd::Request& r) { return r.code == code; });
}

class KrnProcessGuardTest : public hrztest::QtTest {};

TEST_F(KrnProcessGuardTest, EndedTwiceUnregistersOnce) {
  StandInDriver driver;
  {
    CKrnProcessGuard guard(2);
    EXPECT_EQ(driver.Registered("KQHost").size(), 1u);
    guard.End();
    EXPECT_TRUE(driver.Registered("KQHost").empty());
    guard.End();
  }  // and the destructor ends it a third time
  const std::vector<hrzkrnd::Request> requests = driver.Requests();
  EXPECT_EQ(CountCode(requests, krn::kRegister), 1);
  EXPECT_EQ(CountCode(requests, krn::kUnregisterRemove), 1);
  EXPECT_EQ(CountCode(requests, krn::kUnregisterKeep), 0);
  EXPECT_EQ(RunLoopBriefly(), kLoopStillRan);
}

TEST_F(KrnProcessGuardTest, FailedRegistrationIsNeverUnregistered) {
  // The driver takes the registration but answers 20 bytes, so the guard counts it failed.
  StandInDriver driver({.replySize = 20});
  { CKrnProcessGuard guard(0); }
  EXPECT_EQ(CountCode(driver.Requests(), krn::kRegister), 1);
  EXPECT_EQ(CountCode(driver.Requests(), krn::kUnregisterRemove), 0);
  EXPECT_EQ(RunLoopBriefly(), kLoopStillRan) << "nothing failed at the end";
}

TEST_F(KrnProcessGuardTest, FailedUnregistrationEndsTheProgramsLoop) {
  struct Case {
    const char* label;
    std::function<void(StandInDriver&)> meanwhile;
    int loopExit;
  };
  const Case cases[] = {
      {"the driver stays", [](StandInDriver&) {}, kLoopStillRan},
      {"the driver went away", [](StandInDriver& d) { d.Stop(); }, 0},
      {"the driver restarted and forgot the program", [](StandInDriver& d) { d.Start(); }, 0},
  };
  for (const Case& c : cases) {
    StandInDriver driver;
    {
      CKrnProcessGuard guard(1);
      c.meanwhile(driver);
    }
    EXPECT_EQ(RunLoopBriefly(), c.loopExit) << c.label;
  }
}

}  // namespace
}  // namespace hrz
