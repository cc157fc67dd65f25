// The encryption driver's stand-in started in process, in a temporary socket folder that
// HRZKRND_DIR names while the object lives, so that the platform's device calls reach it:
//
//   hrztest::StandInDriver driver({.refusedNames = {"[HR9*"}});
//   EXPECT_EQ(hrz::KrnCheckFileName("[HR900~a.dwg"), 0);
//   EXPECT_EQ(driver.Requests().back().status, hrz::krn::kStatusAccessDenied);
//
// Stop() takes the driver away (the folder stays, so calls then find no driver) and
// Start() brings up a new one, which has forgotten every registration.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hrzkrnd/daemon.h"
#include "support/temp_dir.h"

namespace hrztest {

class StandInDriver {
 public:
  explicit StandInDriver(hrzkrnd::DriverOptions options = {});
  ~StandInDriver();
  StandInDriver(const StandInDriver&) = delete;
  StandInDriver& operator=(const StandInDriver&) = delete;

  void Start(hrzkrnd::DriverOptions options = {});
  void Stop() { daemon_.reset(); }

  const std::string& Folder() const { return folder_.Path(); }
  std::vector<hrzkrnd::Request> Requests() const;
  std::vector<hrzkrnd::Registration> Registered(const char* device) const;

 private:
  TempDir folder_;
  std::string savedFolder_;
  bool hadFolder_ = false;
  std::unique_ptr<hrzkrnd::Daemon> daemon_;
};

}  // namespace hrztest
