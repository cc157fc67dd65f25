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

// How a TLS connection checks the server it reached.
struct ServerCheck {
  std::string caFile;       // the chain and the host name verify against these CAs; or
  std::string pinned;       // the certificate has exactly this fingerprint; with neither,
                            // any certificate is taken (to learn its fingerprint)
  std::string fingerprint;  // out: the fingerprint of the certificate the server offered
};
// host:port of a running hrzserver, over TLS, checked as check says.
std::unique_ptr<Transport> OpenTlsTransport(const std::string& hostPort, ServerCheck* check,
                                            std::string* error);
// host:port over plain TCP; only loopback addresses are reached.
std::unique_ptr<Transport> OpenPlainTransport(const std::string& hostPort, std::string* error);

}  // namespace hrzdb
