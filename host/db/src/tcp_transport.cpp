#include <asio.hpp>
#include <chrono>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "transport.h"

namespace hrzdb {
namespace {

namespace protocol = hrz::protocol;
namespace wire = hrz::wire;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr int kConnectTimeoutMs = 10000;

class TcpTransport final : public Transport {
 public:
  TcpTransport() : socket_(io_) {}

  bool Connect(const std::string& host, const std::string& port, std::string* error) {
    asio::error_code ec;
    tcp::resolver resolver(io_);
    const auto endpoints = resolver.resolve(host, port, ec);
    if (!ec) {
      const Clock::time_point deadline =
          Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
      ec = Await(
          [&](auto done) {
            asio::async_connect(
                socket_, endpoints,
                [done](const asio::error_code& e, const tcp::endpoint&) { done(e); });
          },
          deadline, true);
    }
    if (ec) {
      if (error) *error = "cannot connect to " + host + ":" + port + ": " + ec.message();
      Close();
      return false;
    }
    socket_.set_option(tcp::no_delay(true), ec);
    return true;
  }

  bool Exchange(std::span<const std::uint8_t> frame, bool oneWay, std::vector<std::uint8_t>* reply,
                int timeoutMs) override {
    if (!socket_.is_open() || frame.size() < protocol::kHeaderSize) return false;
    const bool hasDeadline = timeoutMs > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const wire::Bytes out = wire::EncodeFrame(frame.data(), frame.subspan(protocol::kHeaderSize),
                                              oneWay ? protocol::kFlagOneWay : 0);
    std::uint8_t prefix[protocol::kFramePrefixSize];
    wire::FramePrefix decoded;
    bool ok = !Transfer([&](auto done) { asio::async_write(socket_, asio::buffer(out), done); },
                        deadline, hasDeadline);
    if (ok && !oneWay) {
      ok = !Transfer([&](auto done) { asio::async_read(socket_, asio::buffer(prefix), done); },
                     deadline, hasDeadline) &&
           wire::DecodeFramePrefix(prefix, &decoded);
    }
    if (ok && !oneWay) {
      reply->resize(decoded.length);
      ok = !Transfer([&](auto done) { asio::async_read(socket_, asio::buffer(*reply), done); },
                     deadline, hasDeadline);
    }
    if (!ok) Close();
    return ok;
  }

  bool IsOpen() const override { return socket_.is_open(); }

 private:
  // Runs one asynchronous operation until it completes or the deadline passes; on a
  // time-out the socket is closed and the aborted operation drained.
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

  // Read or write with a completion handler that takes (error, bytes).
  template <typename Start>
  asio::error_code Transfer(Start start, Clock::time_point deadline, bool hasDeadline) {
    return Await(
        [&](auto done) { start([done](const asio::error_code& e, std::size_t) { done(e); }); },
        deadline, hasDeadline);
  }

  void Close() {
    asio::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

  asio::io_context io_;
  tcp::socket socket_;
};

}  // namespace

std::unique_ptr<Transport> OpenTcpTransport(const std::string& hostPort, std::string* error) {
  const std::size_t colon = hostPort.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size()) {
    if (error) *error = "a TCP location is tcp://HOST:PORT";
    return nullptr;
  }
  auto transport = std::make_unique<TcpTransport>();
  if (!transport->Connect(hostPort.substr(0, colon), hostPort.substr(colon + 1), error)) {
    return nullptr;
  }
  return transport;
}

}  // namespace hrzdb
