// Building and reading message bodies and frames. Writers append; readers consume and
// return false on short or malformed input, never reading past a field's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hrzcommon/protocol.h"

namespace hrz::wire {

using Bytes = std::vector<std::uint8_t>;

// A body of 16-bit length-prefixed fields. Finish() appends the terminator.
class BodyWriter {
 public:
  // False (and nothing appended) when the field is longer than a writer may send.
  bool PutBytes(const void* data, std::size_t size);
  bool PutText(std::string_view text) { return PutBytes(text.data(), text.size()); }
  // The text followed by its zero byte.
  bool PutTextZ(std::string_view text);
  void PutInt32(std::int32_t value);
  // A value of any length: a 4-byte total, then chunks of at most kLongChunk bytes.
  void PutLong(std::string_view data);
  Bytes Finish();
  // False once a field was refused: such a body lacks a field and must not be sent.
  bool ok() const { return ok_; }

 private:
  Bytes body_;
  bool ok_ = true;
};

class BodyReader {
 public:
  explicit BodyReader(std::span<const std::uint8_t> body) : rest_(body) {}
  // The next field; false at the terminator, at the end of the data or on a short field.
  bool Next(std::span<const std::uint8_t>* field);
  bool NextText(std::string* text, std::size_t maxLength = 65535);
  // A text field whose last byte is its zero; the zero is dropped.
  bool NextTextZ(std::string* text, std::size_t maxLength = 65535);
  bool NextInt32(std::int32_t* value);
  bool NextLong(std::string* data, std::size_t maxLength);
  // True when the next thing is the terminator.
  bool AtTerminator() const;
  // True once a read failed only because the value was longer than its maxLength.
  bool OverLimit() const { return overLimit_; }

 private:
  std::span<const std::uint8_t> rest_;
  bool overLimit_ = false;
};

// True when body is zero bytes, or fields followed by exactly one terminator at its end.
bool IsWellFormedBody(std::span<const std::uint8_t> body);

std::int32_t ReadInt32(const std::uint8_t* p);
void WriteInt32(std::uint8_t* p, std::int32_t value);

// ---- Frames over a stream ----
struct FramePrefix {
  std::uint32_t length = 0;  // header + body
  std::uint8_t flags = 0;
};
enum class PrefixCheck { kOk, kTooLarge, kInvalid };
// kInvalid for a length below the header size or unknown flags; kTooLarge (out filled) for a
// length above limit.
PrefixCheck CheckFramePrefix(const std::uint8_t (&prefix)[protocol::kFramePrefixSize],
                             std::uint32_t limit, FramePrefix* out);
// False when the length is below the header size or above kMaxFrameSize, or flags unknown.
bool DecodeFramePrefix(const std::uint8_t (&prefix)[protocol::kFramePrefixSize], FramePrefix* out);
// Prefix, header and body in one buffer, ready to write.
Bytes EncodeFrame(const std::uint8_t* header, std::span<const std::uint8_t> body,
                  std::uint8_t flags);

}  // namespace hrz::wire
