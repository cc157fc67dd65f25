#include "entry/request_channel.h"

#include <string>

#include "xclidb.h"

namespace hrz {

RequestHeader::RequestHeader(int msgClass, int group, int code) {
  bytes[4] = static_cast<unsigned char>(msgClass);
  bytes[5] = static_cast<unsigned char>(group);
  bytes[6] = static_cast<unsigned char>(code);
}

void MessageBody::Append(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
}

void MessageBody::AddBytes(const void* data, std::size_t size) {
  // The length word may not look like the terminator, and the terminator must still fit.
  if (!ok_ || size >= kFieldTerminator || bytes_.size() + 2 + size + 2 > capacity_) {
    ok_ = false;
    return;
  }
  const unsigned char length[2] = {static_cast<unsigned char>(size & 0xff),
                                   static_cast<unsigned char>(size >> 8)};
  Append(length, 2);
  Append(data, size);
}

void MessageBody::AddTextWithZero(std::string_view text) {
  std::string withZero(text);
  withZero.push_back('\0');
  AddBytes(withZero.data(), withZero.size());
}

void MessageBody::AddInt32(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  const unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                  static_cast<unsigned char>(v >> 16),
                                  static_cast<unsigned char>(v >> 24)};
  AddBytes(bytes, sizeof bytes);
}

void MessageBody::Finish() {
  if (!ok_ || bytes_.size() + 2 > capacity_) {
    ok_ = false;
    return;
  }
  const unsigned char terminator[2] = {0xff, 0x7f};
  Append(terminator, 2);
}

bool ReplyReader::NextField(std::string_view* field, std::size_t minLength, std::size_t maxLength) {
  if (left_ < 2) return false;
  const std::size_t length = data_[0] | (data_[1] << 8);
  if (length == kFieldTerminator || length < minLength || length > maxLength ||
      length > left_ - 2) {
    return false;
  }
  *field = std::string_view(reinterpret_cast<const char*>(data_ + 2), length);
  data_ += 2 + length;
  left_ -= 2 + length;
  return true;
}

bool ReplyReader::NextInt32(std::int32_t* value) {
  std::string_view field;
  if (!NextField(&field, 4, 4)) return false;
  *value = Int32At(reinterpret_cast<const unsigned char*>(field.data()));
  return true;
}

std::int32_t Int32At(const unsigned char* bytes) {
  const std::uint32_t v =
      bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  return static_cast<std::int32_t>(v);
}

int SendLocked(tagXCliDB* db, XCliSendLock* lock, RequestHeader& header, const MessageBody& body,
               unsigned char* reply, int capacity, int timeoutMs) {
  if (!body.ok()) return kSendFailed;
  return XCliDB_SendAndWait2(db, lock, header.bytes, body.data(), body.size(), header.bytes, reply,
                             capacity, timeoutMs);
}

int SendRequest(tagXCliDB* db, RequestHeader& header, const MessageBody& body, unsigned char* reply,
                int capacity, int timeoutMs) {
  if (!body.ok()) return kSendFailed;
  SendLockScope scope(db);
  return SendLocked(db, scope.lock(), header, body, reply, capacity, timeoutMs);
}

SendLockScope::SendLockScope(tagXCliDB* db) : db_(db), lock_(XCliDB_LockSendAndWait(db)) {}

SendLockScope::~SendLockScope() {
  XCliDB_ReleaseSendAndWait(db_, lock_);
}

}  // namespace hrz
