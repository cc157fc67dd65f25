// The driver stand-in on its local sockets: one socket per device in a folder, each serving
// any number of connections with framed requests (hrzcommon/krn_socket.h) on its own thread.
#pragma once

#include <memory>
#include <string>

#include "hrzkrnd/driver.h"

namespace hrzkrnd {

class Daemon {
 public:
  // Creates folder when missing (mode 0700), which must then be a directory of this user,
  // and listens on folder/<device> for every device of options. A socket left by a daemon
  // that ended is replaced; one at which a daemon still answers is an error. Null, with
  // the reason in error, on failure.
  static std::unique_ptr<Daemon> Start(const std::string& folder, DriverOptions options,
                                       LogSink log, std::string* error);
  // Stops serving and removes the sockets.
  virtual ~Daemon() = default;

  virtual Driver& driver() = 0;
};

}  // namespace hrzkrnd
