// Locations a connection opens: a store file, "tcp://host:port" (TLS, the server checked
// against the user's CA file or the pinned certificate) or "tcp+plain://host:port" (plain
// TCP, loopback only).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "transport.h"

namespace hrzdb {

struct Location {
  enum Kind { kFile, kTls, kPlain } kind = kFile;
  std::string target;  // the file path, or host:port
};
Location ParseLocation(std::string_view text);

// The transport to location; null with a reason that says what to do about it.
std::unique_ptr<Transport> OpenLocation(const Location& location, std::string* error);

}  // namespace hrzdb
