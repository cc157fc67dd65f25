// Request messages to the server: the 35-byte header, a body of 16-bit length-prefixed
// fields ended by 32767, and replies read field by field within the bytes received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct tagXCliDB;
struct XCliSendLock;

namespace hrz {

constexpr int kRequestHeaderSize = 35;
constexpr std::uint16_t kFieldTerminator = 32767;
constexpr int kSendFailed = 0x7fffffff;
constexpr std::size_t kRequestBodyCapacity = 8192;
constexpr int kTimeoutTenMinutes = 600000;
constexpr int kTimeoutTwentyMinutes = 1200000;
constexpr int kTimeoutReload = 12000000;

// Header bytes 4, 5 and 6 set, the rest zero. A reply overwrites it: byte 6 is then the
// status and byte 5 the reply group.
struct RequestHeader {
  RequestHeader(int msgClass, int group, int code);
  unsigned char bytes[kRequestHeaderSize] = {};
  int group() const { return bytes[5]; }
  int status() const { return bytes[6]; }
};

// A request body of fields and the terminator, never longer than its capacity. A field
// that does not fit marks the body failed; a failed body is never sent.
class MessageBody {
 public:
  explicit MessageBody(std::size_t capacity = kRequestBodyCapacity) : capacity_(capacity) {}
  void AddBytes(const void* data, std::size_t size);
  void AddText(std::string_view text) { AddBytes(text.data(), text.size()); }
  // The text followed by its zero byte.
  void AddTextWithZero(std::string_view text);
  void AddInt32(std::int32_t value);
  void Finish();
  bool ok() const { return ok_; }
  const unsigned char* data() const { return bytes_.data(); }
  int size() const { return static_cast<int>(bytes_.size()); }

 private:
  void Append(const void* data, std::size_t size);
  std::size_t capacity_;
  std::vector<unsigned char> bytes_;
  bool ok_ = true;
};

// Reads reply fields from the first length word at offset 0 of the reply buffer. Nothing is
// read beyond the bytes received; a field outside its bounds fails the read.
class ReplyReader {
 public:
  ReplyReader(const unsigned char* data, int received)
      : data_(data), left_(received > 0 ? static_cast<std::size_t>(received) : 0) {}
  bool NextField(std::string_view* field, std::size_t minLength, std::size_t maxLength);
  bool NextInt32(std::int32_t* value);

 private:
  const unsigned char* data_;
  std::size_t left_;
};

std::int32_t Int32At(const unsigned char* bytes);

// One exchange: takes the send lock, sends, waits and releases the lock on every path.
// Returns the number of reply bytes or kSendFailed (also for a failed body).
int SendRequest(tagXCliDB* db, RequestHeader& header, const MessageBody& body, unsigned char* reply,
                int capacity, int timeoutMs);
// The same under a lock the caller holds; the header is sent as it stands.
int SendLocked(tagXCliDB* db, XCliSendLock* lock, RequestHeader& header, const MessageBody& body,
               unsigned char* reply, int capacity, int timeoutMs);

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
