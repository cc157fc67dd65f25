// How a connection reaches the server engine: inside this process or over TCP. Abstract so
// tests can drop a connection in the middle of an exchange.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace hrzdb {

class Transport {
 public:
  virtual ~Transport() = default;
  // Sends one frame (35-byte header and body) and, unless oneWay, receives the reply frame.
  // False when the transport failed or timeoutMs (> 0) passed; it is then closed for good,
  // so a late reply can never be taken for the answer to a later request.
  virtual bool Exchange(std::span<const std::uint8_t> frame, bool oneWay,
                        std::vector<std::uint8_t>* reply, int timeoutMs) = 0;
  virtual bool IsOpen() const = 0;
};

// A file path: the engine runs in this process on that store.
std::unique_ptr<Transport> OpenEmbeddedTransport(const std::string& path, std::string* error);
// host:port of a running hrzserver.
std::unique_ptr<Transport> OpenTcpTransport(const std::string& hostPort, std::string* error);

}  // namespace hrzdb
