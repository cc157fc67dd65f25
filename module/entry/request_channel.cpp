#include "entry/request_channel.h"

#include <algorithm>

#include "xclidb.h"

namespace hrz {
namespace {

int Exchange(tagXCliDB* db, XCliSendLock* lock, RequestHeader& header,
             std::span<const unsigned char> body, std::span<unsigned char> reply, int timeoutMs) {
  return XCliDB_SendAndWait2(db, lock, header.bytes, body.data(), static_cast<int>(body.size()),
                             header.bytes, reply.data(), static_cast<int>(reply.size()), timeoutMs);
}

}  // namespace

RequestHeader::RequestHeader(protocol::Kind kind) {
  bytes[protocol::kClassByte] = kind.cls;
  bytes[protocol::kGroupByte] = kind.group;
  bytes[protocol::kCodeByte] = kind.code;
}

wire::BodyReader ReplyFields(std::span<const unsigned char> reply, int received) {
  if (received == XCLI_SEND_FAILED || received <= 0) return wire::BodyReader({});
  return wire::BodyReader(reply.first(std::min(reply.size(), static_cast<std::size_t>(received))));
}

int SendLocked(tagXCliDB* db, XCliSendLock* lock, RequestHeader& header, wire::BodyWriter body,
               std::span<unsigned char> reply, int timeoutMs) {
  if (!body.ok()) return XCLI_SEND_FAILED;
  const wire::Bytes bytes = body.Finish();
  if (bytes.size() > kRequestBodyCapacity) return XCLI_SEND_FAILED;
  return Exchange(db, lock, header, bytes, reply, timeoutMs);
}

int SendRequest(tagXCliDB* db, RequestHeader& header, wire::BodyWriter body,
                std::span<unsigned char> reply, int timeoutMs) {
  if (!body.ok()) return XCLI_SEND_FAILED;
  SendLockScope scope(db);
  return SendLocked(db, scope.lock(), header, std::move(body), reply, timeoutMs);
}

int SendHeaderLocked(tagXCliDB* db, XCliSendLock* lock, RequestHeader& header,
                     std::span<unsigned char> reply, int timeoutMs) {
  return Exchange(db, lock, header, {}, reply, timeoutMs);
}

SendLockScope::SendLockScope(tagXCliDB* db) : db_(db), lock_(XCliDB_LockSendAndWait(db)) {}

SendLockScope::~SendLockScope() {
  XCliDB_ReleaseSendAndWait(db_, lock_);
}

}  // namespace hrz
