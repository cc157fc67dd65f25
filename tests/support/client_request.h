// One request sent through the database client as the module sends it (send lock, send,
// release), with its reply read back: what hand-built requests against a server need.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hrzcommon/protocol.h"
#include "xclidb.h"

namespace hrztest {

struct ClientReply {
  int status = -1;  // -1: the exchange failed
  std::vector<std::uint8_t> body;
  // The first field as text; empty when there is none.
  std::string FirstText() const;
};

ClientReply SendRequest(tagXCliDB* db, hrz::protocol::Kind kind,
                        const std::vector<std::uint8_t>& body);

}  // namespace hrztest
