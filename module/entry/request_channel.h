// Request messages to the server: a 35-byte header with class, group and code, a body built
// with wire::BodyWriter, and reply fields read within the bytes received.
#pragma once

#include <cstddef>
#include <span>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"

struct tagXCliDB;
struct XCliSendLock;

namespace hrz {

// No request body may be longer, terminator included.
constexpr std::size_t kRequestBodyCapacity = 8192;
constexpr int kTimeoutTenMinutes = 600000;
constexpr int kTimeoutTwentyMinutes = 1200000;
constexpr int kTimeoutReload = 12000000;

// Header bytes of class, group and code set, the rest zero. A reply overwrites it: the code
// byte is then the status and the group byte the reply group.
struct RequestHeader {
  explicit RequestHeader(protocol::Kind kind);
  unsigned char bytes[protocol::kHeaderSize] = {};
  int group() const { return bytes[protocol::kGroupByte]; }
  int status() const { return bytes[protocol::kCodeByte]; }
};

// The fields of a reply of received bytes (a send result): none after a failed send, and
// never more than the buffer holds.
wire::BodyReader ReplyFields(std::span<const unsigned char> reply, int received);

// One exchange: takes the send lock, sends, waits and releases the lock on every path.
// Returns the number of reply bytes or XCLI_SEND_FAILED, also without sending when a field
// was refused or the body is longer than kRequestBodyCapacity.
int SendRequest(tagXCliDB* db, RequestHeader& header, wire::BodyWriter body,
                std::span<unsigned char> reply, int timeoutMs);
// The same under a lock the caller holds; the header is sent as it stands.
int SendLocked(tagXCliDB* db, XCliSendLock* lock, RequestHeader& header, wire::BodyWriter body,
               std::span<unsigned char> reply, int timeoutMs);
// The header with an empty body (no fields, no terminator), under a lock the caller holds.
int SendHeaderLocked(tagXCliDB* db, XCliSendLock* lock, RequestHeader& header,
                     std::span<unsigned char> reply, int timeoutMs);

// Holds the send lock for the life of the scope: across the sends of one exchange.
class SendLockScope {
 public:
  explicit SendLockScope(tagXCliDB* db);
  ~SendLockScope();
  SendLockScope(const SendLockScope&) = delete;
  SendLockScope& operator=(const SendLockScope&) = delete;
  XCliSendLock* lock() const { return lock_; }

 private:
  tagXCliDB* db_;
  XCliSendLock* lock_;
};

}  // namespace hrz
