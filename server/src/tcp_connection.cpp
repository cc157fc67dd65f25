#include "tcp_connection.h"

#include <algorithm>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"

namespace hrzsrv {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;

// A reply of header and body: the request's header with status, then body.
std::vector<std::uint8_t> StatusReply(std::span<const std::uint8_t> header, std::uint8_t status,
                                      const wire::Bytes& body = {}) {
  std::vector<std::uint8_t> reply(p::kHeaderSize + body.size());
  std::copy_n(header.begin(), p::kHeaderSize, reply.begin());
  std::copy(body.begin(), body.end(), reply.begin() + p::kHeaderSize);
  reply[p::kCodeByte] = status;
  return reply;
}

}  // namespace

Connection::Connection(ConnectionShared& shared, std::uint64_t id, asio::ip::tcp::socket socket,
                       std::unique_ptr<Session> session)
    : shared_(shared),
      id_(id),
      stream_(std::move(socket), shared.tls),
      strand_(stream_.socket().get_executor()),
      idle_(strand_),
      session_(std::move(session)) {}

Connection::~Connection() {
  const bool refused = Refusing();
  session_.reset();  // its store connection closes before the server counts this one gone
  shared_.ended(id_, refused);
}

void Connection::Start() {
  asio::post(strand_, [self = shared_from_this()] {
    self->ArmIdleTimer();
    self->stream_.AsyncHandshake(asio::ssl::stream_base::server,
                                 [self](const asio::error_code& ec) {
                                   if (ec) return self->CloseNow();
                                   self->ReadMore();
                                 });
  });
}

void Connection::Close() {
  asio::post(strand_, [self = shared_from_this()] { self->CloseNow(); });
}

void Connection::ReadMore() {
  // While a request runs or its reply is written, only a frame prefix is read ahead: enough
  // to hear the client go away, too little for a client to make the server hold much.
  const bool wanted = dropping_ > 0 || Idle() || in_.size() < p::kFramePrefixSize;
  if (reading_ || closed_ || !wanted) return;
  reading_ = true;
  stream_.AsyncReadSome(asio::buffer(chunk_),
                        [self = shared_from_this()](const asio::error_code& ec, std::size_t size) {
                          self->Received(ec, size);
                        });
}

void Connection::Received(const asio::error_code& ec, std::size_t size) {
  reading_ = false;
  if (closed_) return;
  if (ec) return CloseNow();  // the client went away; a running statement stops
  const std::uint8_t* bytes = chunk_.data();
  if (dropping_ > 0) {
    const std::size_t dropped = static_cast<std::size_t>(std::min<std::uint64_t>(dropping_, size));
    dropping_ -= dropped;
    bytes += dropped;
    size -= dropped;
    if (dropping_ == 0 && !dropOneWay_) {
      WriteReply(StatusReply(dropHeader_, p::kFrameTooLarge), false);
    }
  }
  in_.insert(in_.end(), bytes, bytes + size);
  Pump();
  ReadMore();
}

void Connection::Pump() {
  if (!Idle() || closed_ || dropping_ > 0 || in_.size() < p::kFramePrefixSize) return;
  std::uint8_t prefixBytes[p::kFramePrefixSize];
  std::copy_n(in_.begin(), p::kFramePrefixSize, prefixBytes);
  const std::uint32_t limit = Refusing() ? p::kMaxFrameBeforeLogon : session_->MaxFrameSize();
  wire::FramePrefix prefix;
  switch (wire::CheckFramePrefix(prefixBytes, limit, &prefix)) {
    case wire::PrefixCheck::kInvalid:
      return CloseNow();  // the stream cannot be followed any more
    case wire::PrefixCheck::kTooLarge:
      return DropOversized(prefix.length, (prefix.flags & p::kFlagOneWay) != 0);
    case wire::PrefixCheck::kOk:
      break;
  }
  const std::size_t total = p::kFramePrefixSize + prefix.length;
  if (in_.size() < total) {
    in_.reserve(total);
    return;
  }
  Bytes frame(in_.begin() + p::kFramePrefixSize, in_.begin() + static_cast<std::ptrdiff_t>(total));
  in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(total));
  Dispatch(std::move(frame), (prefix.flags & p::kFlagOneWay) != 0);
}

void Connection::DropOversized(std::uint32_t length, bool oneWay) {
  const std::size_t headerEnd = p::kFramePrefixSize + p::kHeaderSize;
  if (in_.size() < headerEnd) return;  // the header tells whom to answer
  dropHeader_.assign(in_.begin() + p::kFramePrefixSize, in_.begin() + headerEnd);
  dropOneWay_ = oneWay;
  const std::uint64_t body = length - p::kHeaderSize;
  const std::uint64_t buffered = std::min<std::uint64_t>(in_.size() - headerEnd, body);
  in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(headerEnd + buffered));
  dropping_ = body - buffered;
  if (dropping_ > 0) return;  // Received answers once the rest has been dropped
  if (oneWay) return Pump();
  WriteReply(StatusReply(dropHeader_, p::kFrameTooLarge), false);
}

void Connection::Dispatch(Bytes frame, bool oneWay) {
  ++idleGeneration_;
  idle_.cancel();
  if (Refusing()) {
    wire::BodyWriter body;
    body.PutText("the server is serving its limit of " +
                 std::to_string(shared_.options.maxConnections) + " connections; try again later");
    return WriteReply(StatusReply(frame, p::kServerBusy, body.Finish()), true);
  }
  busy_ = true;
  asio::thread_pool& pool =
      session_->WaitsOnPasswordHash(frame) ? shared_.passwordWorkers : shared_.workers;
  asio::post(pool, [self = shared_from_this(), frame = std::move(frame), oneWay] {
    Session::Outcome outcome = self->session_->Handle(frame, oneWay);
    asio::post(self->strand_, [self, outcome = std::move(outcome)]() mutable {
      self->Answered(std::move(outcome));
    });
  });
  ReadMore();
}

void Connection::Answered(Session::Outcome outcome) {
  busy_ = false;
  if (closed_) return;
  if (!outcome.reply.empty()) return WriteReply(std::move(outcome.reply), outcome.close);
  if (outcome.close) return CloseNow();
  Continue();
}

void Connection::WriteReply(Bytes reply, bool thenClose) {
  writing_ = true;
  const std::span<const std::uint8_t> frame(reply);
  out_ = wire::EncodeFrame(frame.data(), frame.subspan(p::kHeaderSize), 0);
  stream_.AsyncWrite(asio::buffer(out_), [self = shared_from_this(), thenClose](
                                             const asio::error_code& ec, std::size_t) {
    self->writing_ = false;
    if (self->closed_) return;
    if (ec || thenClose) return self->CloseNow();
    self->Continue();
  });
}

void Connection::Continue() {
  ArmIdleTimer();
  Pump();
  ReadMore();
}

void Connection::ArmIdleTimer() {
  if (closed_) return;
  const bool loggedOn = !Refusing() && session_->LoggedOn();
  const std::chrono::milliseconds limit =
      loggedOn ? shared_.options.idleAfterLogon : shared_.options.idleBeforeLogon;
  const std::uint64_t generation = ++idleGeneration_;
  if (limit.count() <= 0) {
    idle_.cancel();
    return;
  }
  idle_.expires_after(limit);
  idle_.async_wait([self = shared_from_this(), generation](const asio::error_code& ec) {
    if (!ec && generation == self->idleGeneration_ && self->Idle()) self->CloseNow();
  });
}

void Connection::CloseNow() {
  if (closed_) return;
  closed_ = true;
  ++idleGeneration_;
  idle_.cancel();
  if (busy_) session_->ClientGone();
  stream_.Close();
}

}  // namespace hrzsrv
