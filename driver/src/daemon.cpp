#include "hrzkrnd/daemon.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <asio.hpp>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "hrzcommon/krn_socket.h"

namespace hrzkrnd {
namespace {

namespace krn = hrz::krn;
using Protocol = asio::local::stream_protocol;

constexpr std::chrono::milliseconds kAcceptRetry{200};

// One client connection: requests are read and answered one after another.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(Protocol::socket socket, std::string device, Driver& driver)
      : socket_(std::move(socket)), device_(std::move(device)), driver_(driver) {}

  void ReadHeader() {
    asio::async_read(socket_, asio::buffer(header_),
                     [self = shared_from_this()](asio::error_code ec, std::size_t) {
                       if (!ec) self->ReadInput();
                     });
  }

 private:
  void ReadInput() {
    // Frames beyond the maxima end the connection: the framing cannot be trusted after them.
    if (!krn::DecodeRequestHeader(header_, &request_)) return;
    input_.resize(request_.inputLength);
    asio::async_read(socket_, asio::buffer(input_),
                     [self = shared_from_this()](asio::error_code ec, std::size_t) {
                       if (!ec) self->Answer();
                     });
  }

  void Answer() {
    Driver::Answer answer = driver_.Handle(device_, request_.code, input_, request_.outputCapacity);
    std::uint8_t prefix[krn::kReplyHeaderSize];
    krn::EncodeReplyHeader({answer.status, static_cast<std::uint32_t>(answer.bytes.size())},
                           prefix);
    reply_.assign(prefix, prefix + sizeof prefix);
    reply_.insert(reply_.end(), answer.bytes.begin(), answer.bytes.end());
    asio::async_write(socket_, asio::buffer(reply_),
                      [self = shared_from_this()](asio::error_code ec, std::size_t) {
                        if (!ec) self->ReadHeader();
                      });
  }

  Protocol::socket socket_;
  const std::string device_;
  Driver& driver_;
  std::uint8_t header_[krn::kRequestHeaderSize] = {};
  krn::RequestHeader request_;
  std::vector<std::uint8_t> input_;
  std::vector<std::uint8_t> reply_;
};

bool Fail(std::string* error, const std::string& reason) {
  if (error != nullptr) *error = reason;
  return false;
}

// The folder exists (made 0700 when missing), is a directory and belongs to this user, so
// that no one else can put a socket of theirs in the driver's place.
bool PrepareFolder(const std::string& folder, std::string* error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return Fail(error, "cannot create " + folder + ": " + std::strerror(errno));
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return Fail(error, folder + " is not a directory");
  }
  if (info.st_uid != ::getuid()) return Fail(error, folder + " belongs to another user");
  return true;
}

class DaemonImpl final : public Daemon {
 public:
  DaemonImpl(DriverOptions options, LogSink log) : log_(log), driver_(std::move(options), log) {}

  ~DaemonImpl() override {
    io_.stop();
    if (thread_.joinable()) thread_.join();
    for (auto& acceptor : acceptors_) {
      asio::error_code ignored;
      acceptor->close(ignored);
    }
    for (const std::string& path : paths_) ::unlink(path.c_str());
  }

  Driver& driver() override { return driver_; }

  bool Listen(const std::string& folder, std::string* error) {
    if (!PrepareFolder(folder, error)) return false;
    for (const std::string& device : driver_.options().devices) {
      if (!krn::IsDeviceName(device)) return Fail(error, "not a device name: " + device);
      const std::string path = krn::SocketPath(folder, device);
      if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        return Fail(error, "socket path too long: " + path);
      }
      asio::error_code ec;
      Protocol::socket probe(io_);
      probe.connect(Protocol::endpoint(path), ec);
      if (!ec) return Fail(error, "a driver already answers at " + path);
      ::unlink(path.c_str());  // left by a daemon that ended
      auto acceptor = std::make_unique<Protocol::acceptor>(io_);
      acceptor->open(Protocol(), ec);
      if (!ec) acceptor->bind(Protocol::endpoint(path), ec);
      if (!ec) paths_.push_back(path);
      if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
      if (ec) return Fail(error, "cannot listen on " + path + ": " + ec.message());
      Accept(*acceptor, device);
      acceptors_.push_back(std::move(acceptor));
    }
    thread_ = std::thread([this] { io_.run(); });
    return true;
  }

 private:
  void Accept(Protocol::acceptor& acceptor, const std::string& device) {
    acceptor.async_accept([this, &acceptor, device](asio::error_code ec, Protocol::socket socket) {
      if (ec == asio::error::operation_aborted) return;
      if (ec) return AcceptLater(acceptor, device, ec);
      std::make_shared<Session>(std::move(socket), device, driver_)->ReadHeader();
      Accept(acceptor, device);
    });
  }

  // A failed accept (out of descriptors, say) leaves the client queued; trying again at once
  // would spin on the same failure, so the next try waits a moment.
  void AcceptLater(Protocol::acceptor& acceptor, const std::string& device,
                   const asio::error_code& ec) {
    if (log_) log_("cannot accept on " + device + ": " + ec.message());
    auto timer = std::make_shared<asio::steady_timer>(io_, kAcceptRetry);
    timer->async_wait([this, timer, &acceptor, device](asio::error_code waited) {
      if (waited != asio::error::operation_aborted) Accept(acceptor, device);
    });
  }

  const LogSink log_;
  // io_ goes last: the sessions its queued handlers hold close their sockets through it.
  asio::io_context io_;
  Driver driver_;
  std::vector<std::unique_ptr<Protocol::acceptor>> acceptors_;
  std::vector<std::string> paths_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<Daemon> Daemon::Start(const std::string& folder, DriverOptions options, LogSink log,
                                      std::string* error) {
  auto daemon = std::make_unique<DaemonImpl>(std::move(options), std::move(log));
  if (!daemon->Listen(folder, error)) return nullptr;
  return daemon;
}

}  // namespace hrzkrnd
