#include "support/stand_in_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "hrzcommon/krn_socket.h"

namespace hrztest {

StandInDriver::StandInDriver(hrzkrnd::DriverOptions options) {
  if (const char* saved = std::getenv(hrz::krn::kFolderVariable)) {
    hadFolder_ = true;
    savedFolder_ = saved;
  }
  ::setenv(hrz::krn::kFolderVariable, folder_.Path().c_str(), 1);
  Start(std::move(options));
}

StandInDriver::~StandInDriver() {
  Stop();
  if (hadFolder_) {
    ::setenv(hrz::krn::kFolderVariable, savedFolder_.c_str(), 1);
  } else {
    ::unsetenv(hrz::krn::kFolderVariable);
  }
}

void StandInDriver::Start(hrzkrnd::DriverOptions options) {
  daemon_.reset();
  std::string error;
  daemon_ = hrzkrnd::Daemon::Start(folder_.Path(), std::move(options), nullptr, &error);
  EXPECT_TRUE(daemon_) << error;
}

std::vector<hrzkrnd::Request> StandInDriver::Requests() const {
  return daemon_ ? daemon_->driver().Requests() : std::vector<hrzkrnd::Request>();
}

std::vector<hrzkrnd::Registration> StandInDriver::Registered(const char* device) const {
  return daemon_ ? daemon_->driver().Registered(device) : std::vector<hrzkrnd::Registration>();
}

}  // namespace hrztest
