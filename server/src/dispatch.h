// The dispatch table: one handler per request kind, keyed by class, group and code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine_state.h"
#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"

namespace hrzsrv {

namespace protocol = hrz::protocol;
namespace wire = hrz::wire;

struct Context {
  EngineState& engine;
  SessionState& session;
  std::span<const std::uint8_t> header;        // the request's 35 bytes
  std::optional<PrivilegeStep> privilegeStep;  // the session's first step, when one preceded
  StoreDb& db() { return *session.db; }
  double Now() const;  // the server's time as a date number
};

struct Reply {
  std::uint8_t status = protocol::kServerError;
  std::optional<std::uint8_t> group;  // reply group; the request's when unset
  wire::Bytes body;                   // empty, or fields and terminator
  bool none = false;                  // one-way message: nothing is sent back
  // The first step of a two-step exchange names itself in the reply header.
  std::optional<PrivilegeStep> startsExchange;

  static Reply Status(std::uint8_t status) { return Reply{status, {}, {}, false, {}}; }
  static Reply With(std::uint8_t status, wire::BodyWriter& body) {
    return Reply{status, {}, body.Finish(), false, {}};
  }
  // kFailed with the reason as field 1.
  static Reply Failure(std::string_view reason);
  static Reply BadMessage() { return Status(protocol::kBadMessage); }
  // kServerBusy with the reason as field 1: nothing was done, the client may try again.
  static Reply Busy(std::string_view reason);
};

using Handler = Reply (*)(Context&, wire::BodyReader&);

struct Route {
  protocol::Kind kind;
  bool beforeLogon;  // answered before a logon
  Handler handler;
};

// The route of a kind, or null when there is none.
const Route* FindRoute(std::uint8_t cls, std::uint8_t group, std::uint8_t code);
// True for the kinds that wait on a password hash: logon, verify and set password.
bool WaitsOnPasswordHash(std::uint8_t cls, std::uint8_t group, std::uint8_t code);

}  // namespace hrzsrv
