#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <chrono>
#include <optional>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "hrzserver/channel_stream.h"
#include "hrzserver/tls_identity.h"
#include "transport.h"

namespace hrzdb {
namespace {

namespace protocol = hrz::protocol;
namespace wire = hrz::wire;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr int kConnectTimeoutMs = 10000;

bool SplitHostPort(const std::string& hostPort, std::string* host, std::string* port,
                   std::string* error) {
  const std::size_t colon = hostPort.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size()) {
    if (error) *error = "a TCP location is tcp://HOST:PORT";
    return false;
  }
  *host = hostPort.substr(0, colon);
  *port = hostPort.substr(colon + 1);
  return true;
}

std::string PeerFingerprint(SSL* ssl) {
  X509* cert = SSL_get1_peer_certificate(ssl);
  if (cert == nullptr) return {};
  unsigned char* der = nullptr;
  const int size = i2d_X509(cert, &der);
  std::string fingerprint =
      size > 0 ? hrzsrv::FingerprintOfDer({der, static_cast<std::size_t>(size)}) : std::string();
  OPENSSL_free(der);
  X509_free(cert);
  return fingerprint;
}

class TcpTransport final : public Transport {
 public:
  TcpTransport() : tlsContext_(asio::ssl::context::tls_client) {}

  // Connects to the first endpoint that answers; loopbackOnly drops every other.
  bool Connect(const std::string& host, const std::string& port, bool loopbackOnly,
               std::string* error) {
    asio::error_code ec;
    tcp::resolver resolver(io_);
    const auto found = resolver.resolve(host, port, ec);
    std::vector<tcp::endpoint> endpoints;
    for (const auto& entry : found) {
      if (!loopbackOnly || entry.endpoint().address().is_loopback()) {
        endpoints.push_back(entry.endpoint());
      }
    }
    if (!ec && endpoints.empty()) {
      if (error) *error = "plain TCP reaches loopback addresses only, not " + host;
      return false;
    }
    tcp::socket socket(io_);
    if (!ec) {
      ec = Await(
          [&](auto done) {
            asio::async_connect(
                socket, endpoints,
                [done](const asio::error_code& e, const tcp::endpoint&) { done(e); });
          },
          Deadline(kConnectTimeoutMs), true);
    }
    if (ec) {
      if (error) *error = "cannot connect to " + host + ":" + port + ": " + ec.message();
      return false;
    }
    socket.set_option(tcp::no_delay(true), ec);
    socket_.emplace(std::move(socket));
    return true;
  }

  // TLS over the connected socket, the server checked as check says.
  bool Handshake(const std::string& host, ServerCheck* check, std::string* error) {
    asio::error_code ec;
    SSL_CTX_set_min_proto_version(tlsContext_.native_handle(), TLS1_2_VERSION);
    if (!check->caFile.empty()) {
      tlsContext_.load_verify_file(check->caFile, ec);
      if (ec) {
        if (error) *error = "cannot read the CA file " + check->caFile + ": " + ec.message();
        return false;
      }
      tlsContext_.set_verify_mode(asio::ssl::verify_peer);
      tlsContext_.set_verify_callback(asio::ssl::host_name_verification(host));
    } else {
      // A pin is checked after the handshake, on the certificate itself.
      tlsContext_.set_verify_mode(asio::ssl::verify_none);
    }
    stream_.emplace(std::move(*socket_), &tlsContext_);
    socket_.reset();
    asio::ip::make_address(host, ec);
    if (ec) SSL_set_tlsext_host_name(stream_->ssl(), host.c_str());
    ec = Await([&](auto done) { stream_->AsyncHandshake(asio::ssl::stream_base::client, done); },
               Deadline(kConnectTimeoutMs), true);
    if (ec) {
      if (error) *error = HandshakeFailure(host, check->caFile, ec);
      Close();
      return false;
    }
    check->fingerprint = PeerFingerprint(stream_->ssl());
    if (!check->pinned.empty() && check->fingerprint != check->pinned) {
      if (error) {
        *error = "the certificate of " + host + " has changed: pinned " + check->pinned +
                 ", offered " + check->fingerprint;
      }
      Close();
      return false;
    }
    return true;
  }

  void StartPlain() {
    stream_.emplace(std::move(*socket_), nullptr);
    socket_.reset();
  }

  bool Exchange(std::span<const std::uint8_t> frame, bool oneWay, std::vector<std::uint8_t>* reply,
                int timeoutMs) override {
    if (!IsOpen() || frame.size() < protocol::kHeaderSize) return false;
    const bool hasDeadline = timeoutMs > 0;
    const Clock::time_point deadline = Deadline(timeoutMs);
    const wire::Bytes out = wire::EncodeFrame(frame.data(), frame.subspan(protocol::kHeaderSize),
                                              oneWay ? protocol::kFlagOneWay : 0);
    bool ok = !Transfer([&](auto done) { stream_->AsyncWrite(asio::buffer(out), done); }, deadline,
                        hasDeadline);
    if (ok && !oneWay) ok = ReadReply(reply, deadline, hasDeadline);
    if (!ok) Close();
    return ok;
  }

  bool IsOpen() const override { return stream_ && stream_->IsOpen(); }

 private:
  static Clock::time_point Deadline(int timeoutMs) {
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
  }

  std::string HandshakeFailure(const std::string& host, const std::string& caFile,
                               const asio::error_code& ec) {
    const long verify = SSL_get_verify_result(stream_->ssl());
    if (!caFile.empty() && verify != X509_V_OK) {
      return "the certificate of " + host + " is not trusted by " + caFile + ": " +
             X509_verify_cert_error_string(verify);
    }
    return "the TLS handshake with " + host + " failed (" + ec.message() +
           "); does the server speak plain TCP?";
  }

  // Runs one asynchronous operation until it completes or the deadline passes; on a
  // time-out the connection is closed and the aborted operation drained.
  template <typename Start>
  asio::error_code Await(Start start, Clock::time_point deadline, bool hasDeadline) {
    bool finished = false;
    asio::error_code result;
    start([&](const asio::error_code& ec) {
      finished = true;
      result = ec;
    });
    io_.restart();
    while (!finished) {
      const Clock::time_point now = Clock::now();
      if (hasDeadline && now >= deadline) break;
      const std::size_t ran = hasDeadline ? io_.run_one_for(deadline - now) : io_.run_one();
      if (ran == 0 && !hasDeadline) break;
    }
    if (!finished) {
      Close();
      io_.restart();
      io_.run();
      return asio::error::timed_out;
    }
    return result;
  }

  // Gathers what arrives until one reply frame is whole, so that a small reply takes a
  // single read; reply receives its header and body.
  bool ReadReply(std::vector<std::uint8_t>* reply, Clock::time_point deadline, bool hasDeadline) {
    wire::FramePrefix decoded;
    std::size_t total = 0;  // prefix and frame, once the prefix is known
    while (total == 0 || received_.size() < total) {
      if (total == 0 && received_.size() >= protocol::kFramePrefixSize) {
        std::uint8_t prefix[protocol::kFramePrefixSize];
        std::copy_n(received_.begin(), protocol::kFramePrefixSize, prefix);
        if (!wire::DecodeFramePrefix(prefix, &decoded)) return false;
        total = protocol::kFramePrefixSize + decoded.length;
        received_.reserve(total);
        continue;
      }
      std::size_t size = 0;
      const asio::error_code ec = Await(
          [&](auto done) {
            stream_->AsyncReadSome(asio::buffer(chunk_),
                                   [done, &size](const asio::error_code& e, std::size_t n) {
                                     size = n;
                                     done(e);
                                   });
          },
          deadline, hasDeadline);
      if (ec) return false;
      received_.insert(received_.end(), chunk_.begin(), chunk_.begin() + size);
    }
    reply->assign(received_.begin() + protocol::kFramePrefixSize, received_.begin() + total);
    received_.erase(received_.begin(), received_.begin() + total);
    return true;
  }

  // Read or write with a completion handler that takes (error, bytes).
  template <typename Start>
  asio::error_code Transfer(Start start, Clock::time_point deadline, bool hasDeadline) {
    return Await(
        [&](auto done) { start([done](const asio::error_code& e, std::size_t) { done(e); }); },
        deadline, hasDeadline);
  }

  void Close() {
    if (stream_) stream_->Close();
    if (socket_) {
      asio::error_code ignored;
      socket_->close(ignored);
    }
  }

  asio::io_context io_;
  asio::ssl::context tlsContext_;
  std::optional<tcp::socket> socket_;  // while connecting
  std::optional<hrzsrv::ChannelStream> stream_;
  std::array<std::uint8_t, 65536> chunk_{};
  std::vector<std::uint8_t> received_;  // read, not yet taken as a reply
};

}  // namespace

std::unique_ptr<Transport> OpenTlsTransport(const std::string& hostPort, ServerCheck* check,
                                            std::string* error) {
  std::string host, port;
  if (!SplitHostPort(hostPort, &host, &port, error)) return nullptr;
  auto transport = std::make_unique<TcpTransport>();
  if (!transport->Connect(host, port, false, error) || !transport->Handshake(host, check, error)) {
    return nullptr;
  }
  return transport;
}

std::unique_ptr<Transport> OpenPlainTransport(const std::string& hostPort, std::string* error) {
  std::string host, port;
  if (!SplitHostPort(hostPort, &host, &port, error)) return nullptr;
  auto transport = std::make_unique<TcpTransport>();
  if (!transport->Connect(host, port, true, error)) return nullptr;
  transport->StartPlain();
  return transport;
}

}  // namespace hrzdb
