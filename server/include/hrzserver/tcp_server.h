// Serves an engine over TCP: TLS, or plain TCP on a loopback address when asked for.
// Connections are served by asynchronous operations on a few threads, and their requests by
// bounded pools of workers (one for requests that wait on a password hash, one for the
// rest), one request at a time per connection and in order. Until it
// logs on, a connection holds neither a thread nor a store connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "hrzserver/engine.h"
#include "hrzserver/tls_identity.h"

namespace hrzsrv {

struct ServerOptions {
  std::string host = "127.0.0.1";
  std::uint16_t port = 0;  // 0 picks a free port
  TlsIdentity tls;         // what TLS presents; unused when plain
  bool plain = false;      // plain TCP, taken only on a loopback address
  // Connections beyond this are answered kServerBusy and closed.
  int maxConnections = 256;
  // Silence allowed between requests before a logon, and after it (zero: no limit). The
  // TLS handshake and the first request count as silence too.
  std::chrono::milliseconds idleBeforeLogon{10000};
  std::chrono::milliseconds idleAfterLogon{0};
  int workers = 8;  // threads that run requests
  // Threads that run the requests waiting on a password hash (logon, verify and set
  // password), so that a burst of logons never holds up the workers. The hashes themselves
  // run in a few helper processes at the lowest CPU priority.
  int passwordWorkers = 8;
  // Where events worth an operator's notice go, one line each; null: standard error.
  std::function<void(const std::string&)> log;
};

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackHost(const std::string& host);

class TcpServer {
 public:
  virtual ~TcpServer() = default;
  // Listens as options say. Null with the reason in error, also for plain TCP on an address
  // that is not loopback and for TLS without a usable identity.
  static std::unique_ptr<TcpServer> Start(Engine& engine, const ServerOptions& options,
                                          std::string* error);
  virtual std::uint16_t port() const = 0;
  // Stops accepting, closes every connection, stops their statements and waits for them.
  virtual void Stop() = 0;
};

}  // namespace hrzsrv
