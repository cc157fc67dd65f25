#include "hrzserver/tcp_server.h"

#include <sys/socket.h>

#include <asio.hpp>
#include <list>
#include <mutex>
#include <thread>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"

namespace hrzsrv {
namespace {

namespace protocol = hrz::protocol;
namespace wire = hrz::wire;

using asio::ip::tcp;

// Answers one client until it goes away or sends a frame that cannot be trusted.
void Serve(Engine& engine, tcp::socket& socket) {
  asio::error_code ec;
  const tcp::endpoint remote = socket.remote_endpoint(ec);
  std::string error;
  std::unique_ptr<Session> session =
      engine.NewSession(ec ? "?" : remote.address().to_string(), &error);
  if (!session) return;
  std::vector<std::uint8_t> frame;
  for (;;) {
    std::uint8_t prefix[protocol::kFramePrefixSize];
    if (asio::read(socket, asio::buffer(prefix), ec) != sizeof prefix || ec) return;
    wire::FramePrefix decoded;
    if (!wire::DecodeFramePrefix(prefix, &decoded) || decoded.length > session->MaxFrameSize()) {
      return;
    }
    frame.resize(decoded.length);
    if (asio::read(socket, asio::buffer(frame), ec) != frame.size() || ec) return;
    Session::Outcome outcome = session->Handle(frame, (decoded.flags & protocol::kFlagOneWay) != 0);
    if (!outcome.reply.empty()) {
      const std::span<const std::uint8_t> reply(outcome.reply);
      wire::Bytes out = wire::EncodeFrame(reply.data(), reply.subspan(protocol::kHeaderSize), 0);
      if (asio::write(socket, asio::buffer(out), ec) != out.size() || ec) return;
    }
    if (outcome.close) return;
  }
}

class TcpServerImpl final : public TcpServer {
 public:
  explicit TcpServerImpl(Engine& engine) : engine_(engine), acceptor_(io_) {}
  ~TcpServerImpl() override { Stop(); }

  bool Listen(const std::string& host, std::uint16_t port, std::string* error) {
    asio::error_code ec;
    const asio::ip::address address = asio::ip::make_address(host, ec);
    if (!ec) {
      const tcp::endpoint endpoint(address, port);
      acceptor_.open(endpoint.protocol(), ec);
      if (!ec) acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
      if (!ec) acceptor_.bind(endpoint, ec);
      if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
      if (error)
        *error = "cannot listen on " + host + ":" + std::to_string(port) + ": " + ec.message();
      return false;
    }
    port_ = acceptor_.local_endpoint().port();
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
  }

  std::uint16_t port() const override { return port_; }

  void Stop() override {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      stopped_ = true;
      asio::error_code ec;
      // Shutting the listening socket down wakes the blocked accept.
      ::shutdown(acceptor_.native_handle(), SHUT_RDWR);
      acceptor_.close(ec);
      for (Connection& c : connections_) {
        c.socket.shutdown(tcp::socket::shutdown_both, ec);
      }
    }
    if (acceptThread_.joinable()) acceptThread_.join();
    for (Connection& c : connections_) {
      if (c.thread.joinable()) c.thread.join();
    }
  }

 private:
  struct Connection {
    explicit Connection(tcp::socket s) : socket(std::move(s)) {}
    tcp::socket socket;
    std::thread thread;
    bool finished = false;
  };

  void AcceptLoop() {
    for (;;) {
      asio::error_code ec;
      tcp::socket socket(io_);
      acceptor_.accept(socket, ec);
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      if (ec) continue;
      ReapFinished();
      connections_.emplace_back(std::move(socket));
      Connection& c = connections_.back();
      c.thread = std::thread([this, &c] {
        Serve(engine_, c.socket);
        asio::error_code ignored;
        c.socket.shutdown(tcp::socket::shutdown_both, ignored);
        std::lock_guard done(mutex_);
        c.finished = true;
      });
    }
  }

  // Joins the threads of connections that have ended. Caller holds mutex_.
  void ReapFinished() {
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (it->finished) {
        it->thread.join();
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }

  Engine& engine_;
  asio::io_context io_;
  tcp::acceptor acceptor_;
  std::uint16_t port_ = 0;
  std::thread acceptThread_;
  std::mutex mutex_;
  std::list<Connection> connections_;  // guarded by mutex_
  bool stopped_ = false;               // guarded by mutex_
};

}  // namespace

std::unique_ptr<TcpServer> TcpServer::Start(Engine& engine, const std::string& host,
                                            std::uint16_t port, std::string* error) {
  auto server = std::make_unique<TcpServerImpl>(engine);
  if (!server->Listen(host, port, error)) return nullptr;
  return server;
}

}  // namespace hrzsrv
