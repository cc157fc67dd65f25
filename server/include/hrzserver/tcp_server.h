// Serves an engine over TCP: one thread and one session per connection, so each client's
// requests are answered in order and a slow request never holds up another client.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "hrzserver/engine.h"

namespace hrzsrv {

class TcpServer {
 public:
  virtual ~TcpServer() = default;
  // Listens on host:port (port 0 picks a free one). Null with the reason in error.
  static std::unique_ptr<TcpServer> Start(Engine& engine, const std::string& host,
                                          std::uint16_t port, std::string* error);
  virtual std::uint16_t port() const = 0;
  // Stops accepting, closes every connection and waits for their threads.
  virtual void Stop() = 0;
};

}  // namespace hrzsrv
