// A TCP connection with TLS or without it, behind one set of asynchronous calls, for the
// server and the client alike. Plain is only ever used on loopback, where both ends asked.
#pragma once

#include <asio.hpp>
#include <asio/ssl.hpp>
#include <optional>
#include <utility>

namespace hrzsrv {

class ChannelStream {
 public:
  using Socket = asio::ip::tcp::socket;

  // tls null: plain TCP.
  ChannelStream(Socket socket, asio::ssl::context* tls) {
    if (tls != nullptr) {
      tls_.emplace(std::move(socket), *tls);
      // Buffers kept between records: freeing and taking them again for every small
      // message costs more than the memory they hold.
      SSL_clear_mode(tls_->native_handle(), SSL_MODE_RELEASE_BUFFERS);
    } else {
      plain_.emplace(std::move(socket));
    }
  }

  bool IsTls() const { return tls_.has_value(); }
  bool IsOpen() const { return tls_ ? tls_->next_layer().is_open() : plain_->is_open(); }
  Socket& socket() { return tls_ ? tls_->next_layer() : *plain_; }
  // The OpenSSL connection; null for plain TCP.
  SSL* ssl() { return tls_ ? tls_->native_handle() : nullptr; }

  // Completes at once (on the socket's executor) for plain TCP.
  template <typename Handler>
  void AsyncHandshake(asio::ssl::stream_base::handshake_type type, Handler&& handler) {
    if (tls_) {
      tls_->async_handshake(type, std::forward<Handler>(handler));
    } else {
      asio::post(plain_->get_executor(),
                 [h = std::forward<Handler>(handler)]() mutable { h(asio::error_code{}); });
    }
  }

  template <typename Buffers, typename Handler>
  void AsyncReadSome(const Buffers& buffers, Handler&& handler) {
    if (tls_) {
      tls_->async_read_some(buffers, std::forward<Handler>(handler));
    } else {
      plain_->async_read_some(buffers, std::forward<Handler>(handler));
    }
  }

  template <typename Buffers, typename Handler>
  void AsyncWrite(const Buffers& buffers, Handler&& handler) {
    if (tls_) {
      asio::async_write(*tls_, buffers, std::forward<Handler>(handler));
    } else {
      asio::async_write(*plain_, buffers, std::forward<Handler>(handler));
    }
  }

  // Closes the socket at once; pending operations complete with an error.
  void Close() {
    asio::error_code ignored;
    socket().shutdown(Socket::shutdown_both, ignored);
    socket().close(ignored);
  }

 private:
  std::optional<asio::ssl::stream<Socket>> tls_;
  std::optional<Socket> plain_;
};

}  // namespace hrzsrv
