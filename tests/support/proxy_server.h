// A real engine behind the TCP listener with a hand on the wire: every request after the
// logon is recorded and shown to a script, which may answer it in the engine's place (to
// give a reply the store would not give) or let the engine answer.
//
//   hrztest::ProxyServer proxy(*engine, [](const hrztest::Frame& f) -> std::optional<...> {
//     if (f.cls() == 68) return hrztest::FakeAnswer{...};
//     return std::nullopt;                      // the engine answers
//   });
//   XCliDB_Open(proxy.location().c_str(), ...);
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hrzserver/engine.h"
#include "hrzserver/tcp_server.h"
#include "support/fake_server.h"

namespace hrztest {

class ProxyServer {
 public:
  using Script = std::function<std::optional<FakeAnswer>(const Frame&)>;
  ProxyServer(hrzsrv::Engine& engine, Script script);
  ~ProxyServer();
  std::string location() const;
  // Every request but hello and logon, in the order they came.
  std::vector<Frame> Received() const;

 private:
  class Engine;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<hrzsrv::TcpServer> server_;
};

}  // namespace hrztest
