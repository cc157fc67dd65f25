// One client connection of the TCP server. All its state lives on its strand; requests run
// on the server's workers, one at a time, and while one runs the connection only listens
// for the client going away, which stops the request's statement.
#pragma once

#include <array>
#include <asio.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "hrzserver/channel_stream.h"
#include "hrzserver/engine.h"
#include "hrzserver/tcp_server.h"

namespace hrzsrv {

// What every connection shares with its server.
struct ConnectionShared {
  const ServerOptions& options;
  asio::ssl::context* tls;  // null: plain TCP
  asio::thread_pool& workers;
  asio::thread_pool& passwordWorkers;  // for the requests that wait on a password hash
  // Called from the connection's destructor, on any thread.
  std::function<void(std::uint64_t id, bool refused)> ended;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  // session null: the server is full; the first request is answered kServerBusy.
  Connection(ConnectionShared& shared, std::uint64_t id, asio::ip::tcp::socket socket,
             std::unique_ptr<Session> session);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Start();
  // From any thread.
  void Close();

 private:
  using Bytes = std::vector<std::uint8_t>;

  bool Refusing() const { return session_ == nullptr; }
  bool Idle() const { return !busy_ && !writing_; }
  void ReadMore();
  void Received(const asio::error_code& ec, std::size_t size);
  void Pump();
  // A frame over the limit: its header is kept, its body read and dropped.
  void DropOversized(std::uint32_t length, bool oneWay);
  void Dispatch(Bytes frame, bool oneWay);
  void Answered(Session::Outcome outcome);
  void WriteReply(Bytes reply, bool thenClose);
  void Continue();
  void ArmIdleTimer();
  void CloseNow();

  ConnectionShared& shared_;
  const std::uint64_t id_;
  ChannelStream stream_;
  asio::any_io_executor strand_;
  asio::steady_timer idle_;
  std::unique_ptr<Session> session_;

  std::array<std::uint8_t, 16384> chunk_{};
  Bytes in_;   // received, not yet taken as a frame
  Bytes out_;  // the reply being written
  Bytes dropHeader_;
  std::uint64_t dropping_ = 0;  // body bytes of an oversized frame still to drop
  bool dropOneWay_ = false;
  std::uint64_t idleGeneration_ = 0;
  bool reading_ = false;
  bool busy_ = false;  // a request is with the workers
  bool writing_ = false;
  bool closed_ = false;
};

}  // namespace hrzsrv
