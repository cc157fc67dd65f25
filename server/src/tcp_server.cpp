#include "hrzserver/tcp_server.h"

#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "hash_pool.h"
#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "hrzserver/log.h"
#include "tcp_connection.h"

namespace hrzsrv {
namespace {

namespace protocol = hrz::protocol;
namespace wire = hrz::wire;

using asio::ip::tcp;

// Threads that run the connections' asynchronous operations; requests run on the workers.
constexpr int kIoThreads = 2;
// Connections over the limit that are told so at once; beyond these they are closed unread.
constexpr int kMaxRefusing = 16;
// Waits between tries to accept while the process has no descriptor to spare.
constexpr std::chrono::milliseconds kFirstBackoff{50};
constexpr std::chrono::milliseconds kLastBackoff{1000};

bool OutOfDescriptors(const asio::error_code& ec) {
  if (ec.category() != asio::system_category()) return false;
  const int code = ec.value();
  return code == EMFILE || code == ENFILE || code == ENOBUFS || code == ENOMEM;
}

bool MakeTlsContext(const TlsIdentity& identity, asio::ssl::context* context, std::string* error) {
  asio::error_code ec;
  context->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                           asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                           asio::ssl::context::no_tlsv1_1 | asio::ssl::context::no_compression,
                       ec);
  SSL_CTX* native = context->native_handle();
  SSL_CTX_set_min_proto_version(native, TLS1_2_VERSION);
  // Every connection makes a full handshake: no session cache, no tickets to resume with.
  SSL_CTX_set_session_cache_mode(native, SSL_SESS_CACHE_OFF);
  SSL_CTX_set_num_tickets(native, 0);
  // AES-128-GCM first: as safe for this use and cheaper per record than AES-256.
  SSL_CTX_set_ciphersuites(
      native, "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256");
  SSL_CTX_set_options(native, SSL_OP_CIPHER_SERVER_PREFERENCE);
  if (!ec) context->use_certificate_chain(asio::buffer(identity.certificatePem), ec);
  if (!ec) {
    context->use_private_key(asio::buffer(identity.privateKeyPem), asio::ssl::context::pem, ec);
  }
  if (ec || SSL_CTX_check_private_key(native) != 1) {
    if (error) *error = "the server's TLS certificate or key cannot be used";
    return false;
  }
  return true;
}

class TcpServerImpl final : public TcpServer {
 public:
  TcpServerImpl(Engine& engine, const ServerOptions& options)
      : engine_(engine),
        options_(options),
        tlsContext_(asio::ssl::context::tls_server),
        workers_(static_cast<std::size_t>(std::max(1, options.workers))),
        passwordWorkers_(static_cast<std::size_t>(std::max(1, options.passwordWorkers))),
        shared_{options_, options.plain ? nullptr : &tlsContext_, workers_, passwordWorkers_,
                [this](std::uint64_t id, bool refused) { Ended(id, refused); }},
        acceptStrand_(asio::make_strand(io_)),
        acceptor_(acceptStrand_),
        retryTimer_(acceptStrand_),
        work_(asio::make_work_guard(io_)) {
    if (!options_.log) {
      options_.log = [](const std::string& line) { Log(LogLevel::Warn, line); };
    }
  }
  ~TcpServerImpl() override { Stop(); }

  bool Listen(std::string* error) {
    if (options_.plain && !IsLoopbackHost(options_.host)) {
      if (error) *error = "plain TCP is only served on a loopback address, not on " + options_.host;
      return false;
    }
    if (!options_.plain && !MakeTlsContext(options_.tls, &tlsContext_, error)) return false;
    asio::error_code ec;
    tcp::resolver resolver(io_);
    const auto endpoints = resolver.resolve(options_.host, std::to_string(options_.port),
                                            tcp::resolver::numeric_service, ec);
    if (!ec && endpoints.empty()) ec = asio::error::host_not_found;
    if (!ec) {
      const tcp::endpoint endpoint = endpoints.begin()->endpoint();
      acceptor_.open(endpoint.protocol(), ec);
      if (!ec) acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
      if (!ec) acceptor_.bind(endpoint, ec);
      if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
      if (error) {
        *error = "cannot listen on " + options_.host + ":" + std::to_string(options_.port) + ": " +
                 ec.message();
      }
      return false;
    }
    port_ = acceptor_.local_endpoint().port();
    asio::post(acceptStrand_, [this] { Accept(); });
    for (int i = 0; i < kIoThreads; ++i) threads_.emplace_back([this] { io_.run(); });
    return true;
  }

  std::uint16_t port() const override { return port_; }

  void Stop() override {
    if (stopped_.exchange(true)) return;
    if (!threads_.empty()) {
      asio::post(acceptStrand_, [this] {
        stopping_ = true;
        asio::error_code ignored;
        acceptor_.close(ignored);
        retryTimer_.cancel();
      });
      std::vector<std::shared_ptr<Connection>> open;
      {
        std::lock_guard lock(mutex_);
        for (auto& entry : connections_) {
          if (auto connection = entry.second.lock()) open.push_back(std::move(connection));
        }
      }
      for (auto& connection : open) connection->Close();
      open.clear();
      std::unique_lock lock(mutex_);
      allEnded_.wait(lock, [this] { return connections_.empty(); });
    }
    work_.reset();
    io_.stop();
    for (std::thread& thread : threads_) thread.join();
    workers_.join();
    passwordWorkers_.join();
  }

 private:
  // On the accept strand from here to Admit.
  void Accept() {
    if (stopping_) return;
    acceptor_.async_accept(asio::make_strand(io_),
                           [this](const asio::error_code& ec, tcp::socket socket) {
                             Accepted(ec, std::move(socket));
                           });
  }

  void Accepted(const asio::error_code& ec, tcp::socket socket) {
    if (stopping_ || ec == asio::error::operation_aborted) return;
    if (OutOfDescriptors(ec)) return WaitForDescriptors(ec);
    if (waitingForDescriptors_) {
      waitingForDescriptors_ = false;
      backoff_ = kFirstBackoff;
      options_.log("accepting connections again");
    }
    if (!ec) Admit(std::move(socket));
    Accept();
  }

  // The pending connection stays queued in the kernel; accepting again at once would spin.
  // A connection that ends, or the back-off timer, tries again.
  void WaitForDescriptors(const asio::error_code& ec) {
    if (!waitingForDescriptors_) {
      waitingForDescriptors_ = true;
      options_.log("cannot accept connections (" + ec.message() +
                   "); new clients wait until descriptors are free");
    }
    retryArmed_ = true;
    retryTimer_.expires_after(backoff_);
    backoff_ = std::min(backoff_ * 2, kLastBackoff);
    retryTimer_.async_wait([this](const asio::error_code&) {
      retryArmed_ = false;
      Accept();
    });
  }

  void Admit(tcp::socket socket) {
    bool refuse = false;
    {
      std::lock_guard lock(mutex_);
      refuse = live_ >= options_.maxConnections;
      if (stopped_ || (refuse && refusing_ >= kMaxRefusing)) return;  // closed unread
      ++(refuse ? refusing_ : live_);
    }
    asio::error_code ec;
    socket.set_option(tcp::no_delay(true), ec);
    const tcp::endpoint remote = socket.remote_endpoint(ec);
    const std::string peer = ec ? "?" : remote.address().to_string();
    Log(LogLevel::Debug, refuse ? "connection refused: server busy" : "connection accepted",
        {{"peer", peer}});
    std::unique_ptr<Session> session;
    std::string error;
    if (!refuse) {
      session = engine_.NewSession(peer, &error);
      if (!session) {
        std::lock_guard lock(mutex_);
        --live_;
        return;
      }
    }
    const std::uint64_t id = nextId_++;
    // From here the connection's destructor reports its end through Ended.
    auto connection =
        std::make_shared<Connection>(shared_, id, std::move(socket), std::move(session));
    bool stopping = false;
    {
      std::lock_guard lock(mutex_);
      stopping = stopped_;
      connections_[id] = connection;
    }
    if (!stopping) connection->Start();
  }

  // From a connection's destructor, on any thread.
  void Ended(std::uint64_t id, bool refused) {
    {
      std::lock_guard lock(mutex_);
      connections_.erase(id);
      --(refused ? refusing_ : live_);
      if (connections_.empty()) allEnded_.notify_all();
    }
    // A descriptor was freed: a waiting accept need not sit out its back-off.
    asio::post(acceptStrand_, [this] {
      if (retryArmed_) retryTimer_.cancel();
    });
  }

  Engine& engine_;
  ServerOptions options_;
  asio::ssl::context tlsContext_;
  asio::thread_pool workers_;
  asio::thread_pool passwordWorkers_;
  ConnectionShared shared_;
  asio::io_context io_;
  asio::strand<asio::io_context::executor_type> acceptStrand_;
  tcp::acceptor acceptor_;
  asio::steady_timer retryTimer_;
  asio::executor_work_guard<asio::io_context::executor_type> work_;
  std::vector<std::thread> threads_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopped_{false};

  // On the accept strand.
  bool stopping_ = false;
  bool waitingForDescriptors_ = false;
  bool retryArmed_ = false;
  std::chrono::milliseconds backoff_ = kFirstBackoff;
  std::uint64_t nextId_ = 1;

  std::mutex mutex_;
  std::condition_variable allEnded_;
  std::map<std::uint64_t, std::weak_ptr<Connection>> connections_;  // guarded by mutex_
  int live_ = 0;                                                    // guarded by mutex_
  int refusing_ = 0;                                                // guarded by mutex_
};

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost") return true;
  asio::error_code ec;
  const asio::ip::address address = asio::ip::make_address(host, ec);
  return !ec && address.is_loopback();
}

std::unique_ptr<TcpServer> TcpServer::Start(Engine& engine, const ServerOptions& options,
                                            std::string* error) {
  auto server = std::make_unique<TcpServerImpl>(engine, options);
  if (!server->Listen(error)) return nullptr;
  HashPasswordsOnPool();
  return server;
}

}  // namespace hrzsrv
