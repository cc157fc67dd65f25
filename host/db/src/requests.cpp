// The send lock and the request messages that callers build themselves.
#include <cstring>

#include "connection.h"

using namespace hrzdb;

XCliSendLock* XCliDB_LockSendAndWait(tagXCliDB* db) {
  if (db == nullptr) return nullptr;
  db->channel.lock();
  return &db->lockHandle;
}

void XCliDB_ReleaseSendAndWait(tagXCliDB* db, XCliSendLock* lock) {
  if (db == nullptr || lock != &db->lockHandle) return;
  db->channel.unlock();
}

int XCliDB_SendAndWait2(tagXCliDB* db, XCliSendLock* lock, unsigned char* header,
                        const unsigned char* body, int bodyLength, unsigned char* replyHeader,
                        unsigned char* replyBuffer, int replyCapacity, int timeoutMs) {
  if (db == nullptr || lock != &db->lockHandle || header == nullptr || replyHeader == nullptr ||
      bodyLength < 0 || (body == nullptr && bodyLength > 0)) {
    return XCLI_SEND_FAILED;
  }
  Reply reply;
  const std::span<const std::uint8_t> request(body, static_cast<std::size_t>(bodyLength));
  if (!CallRaw(db, header, request, false, &reply, timeoutMs)) return XCLI_SEND_FAILED;
  // A reply larger than the caller's buffer is refused whole; the stream stays in step
  // because the reply has been read completely.
  if (replyBuffer != nullptr &&
      reply.body.size() > static_cast<std::size_t>(std::max(replyCapacity, 0))) {
    return XCLI_SEND_FAILED;
  }
  std::memcpy(replyHeader, reply.header, XCLI_HEADER_SIZE);
  if (replyBuffer != nullptr && !reply.body.empty()) {
    std::memcpy(replyBuffer, reply.body.data(), reply.body.size());
  }
  return static_cast<int>(reply.body.size());
}

int XCliDB_SendAndWait1(tagXCliDB* db, XCliSendLock* lock, int msgClass, int group, int code,
                        const unsigned char* body, int bodyLength, unsigned char* replyHeader,
                        unsigned char* replyBuffer, int replyCapacity, int timeoutMs) {
  unsigned char header[XCLI_HEADER_SIZE] = {};
  header[protocol::kClassByte] = static_cast<unsigned char>(msgClass);
  header[protocol::kGroupByte] = static_cast<unsigned char>(group);
  header[protocol::kCodeByte] = static_cast<unsigned char>(code);
  return XCliDB_SendAndWait2(db, lock, header, body, bodyLength, replyHeader, replyBuffer,
                             replyCapacity, timeoutMs);
}

int XCliDB_Send2(tagXCliDB* db, unsigned char* header, const unsigned char* body, int bodyLength) {
  if (db == nullptr || header == nullptr || bodyLength < 0 || (body == nullptr && bodyLength > 0)) {
    return 0;
  }
  Reply unused;
  const std::span<const std::uint8_t> request(body, static_cast<std::size_t>(bodyLength));
  return CallRaw(db, header, request, true, &unused, 0) ? 1 : 0;
}
