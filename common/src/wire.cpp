#include "hrzcommon/wire.h"

#include <cstring>

namespace hrz::wire {
namespace {

void AppendU16(Bytes* out, std::uint16_t value) {
  out->push_back(static_cast<std::uint8_t>(value & 0xff));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

std::int32_t ReadInt32(const std::uint8_t* p) {
  const std::uint32_t v =
      static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  return static_cast<std::int32_t>(v);
}

void WriteInt32(std::uint8_t* p, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool BodyWriter::PutBytes(const void* data, std::size_t size) {
  if (size > protocol::kMaxWriterField) {
    ok_ = false;
    return false;
  }
  AppendU16(&body_, static_cast<std::uint16_t>(size));
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  body_.insert(body_.end(), bytes, bytes + size);
  return true;
}

bool BodyWriter::PutTextZ(std::string_view text) {
  std::string withZero(text);
  withZero.push_back('\0');
  return PutBytes(withZero.data(), withZero.size());
}

void BodyWriter::PutInt32(std::int32_t value) {
  std::uint8_t bytes[4];
  WriteInt32(bytes, value);
  PutBytes(bytes, sizeof bytes);
}

void BodyWriter::PutLong(std::string_view data) {
  PutInt32(static_cast<std::int32_t>(data.size()));
  for (std::size_t pos = 0; pos < data.size(); pos += protocol::kLongChunk) {
    std::string_view chunk = data.substr(pos, protocol::kLongChunk);
    PutBytes(chunk.data(), chunk.size());
  }
}

Bytes BodyWriter::Finish() {
  AppendU16(&body_, protocol::kTerminator);
  return std::move(body_);
}

bool BodyReader::Next(std::span<const std::uint8_t>* field) {
  if (rest_.size() < 2) return false;
  const std::uint16_t length = ReadU16(rest_.data());
  if (length == protocol::kTerminator || rest_.size() - 2 < length) return false;
  *field = rest_.subspan(2, length);
  rest_ = rest_.subspan(2 + length);
  return true;
}

bool BodyReader::NextText(std::string* text, std::size_t maxLength) {
  std::span<const std::uint8_t> field;
  if (!Next(&field)) return false;
  if (field.size() > maxLength) {
    overLimit_ = true;
    return false;
  }
  text->assign(reinterpret_cast<const char*>(field.data()), field.size());
  return true;
}

bool BodyReader::NextTextZ(std::string* text, std::size_t maxLength) {
  std::span<const std::uint8_t> field;
  if (!Next(&field) || field.empty() || field.back() != 0) return false;
  if (field.size() - 1 > maxLength) {
    overLimit_ = true;
    return false;
  }
  text->assign(reinterpret_cast<const char*>(field.data()), field.size() - 1);
  return true;
}

bool BodyReader::NextInt32(std::int32_t* value) {
  std::span<const std::uint8_t> field;
  if (!Next(&field) || field.size() != 4) return false;
  *value = ReadInt32(field.data());
  return true;
}

bool BodyReader::NextLong(std::string* data, std::size_t maxLength) {
  std::int32_t total = 0;
  if (!NextInt32(&total) || total < 0) return false;
  if (static_cast<std::size_t>(total) > maxLength) {
    overLimit_ = true;
    return false;
  }
  data->clear();
  data->reserve(static_cast<std::size_t>(total));
  while (data->size() < static_cast<std::size_t>(total)) {
    std::span<const std::uint8_t> chunk;
    if (!Next(&chunk) || chunk.empty() ||
        chunk.size() > static_cast<std::size_t>(total) - data->size()) {
      return false;
    }
    data->append(reinterpret_cast<const char*>(chunk.data()), chunk.size());
  }
  return true;
}

bool BodyReader::AtTerminator() const {
  return rest_.size() >= 2 && ReadU16(rest_.data()) == protocol::kTerminator;
}

bool IsWellFormedBody(std::span<const std::uint8_t> body) {
  if (body.empty()) return true;
  std::size_t pos = 0;
  while (body.size() - pos >= 2) {
    const std::uint16_t length = ReadU16(body.data() + pos);
    if (length == protocol::kTerminator) return pos + 2 == body.size();
    pos += 2 + static_cast<std::size_t>(length);
    if (pos > body.size()) return false;
  }
  return false;
}

PrefixCheck CheckFramePrefix(const std::uint8_t (&prefix)[protocol::kFramePrefixSize],
                             std::uint32_t limit, FramePrefix* out) {
  const auto length = static_cast<std::uint32_t>(ReadInt32(prefix));
  const std::uint8_t flags = prefix[4];
  if (length < protocol::kHeaderSize || (flags & ~protocol::kFlagOneWay) != 0) {
    return PrefixCheck::kInvalid;
  }
  out->length = length;
  out->flags = flags;
  return length > limit ? PrefixCheck::kTooLarge : PrefixCheck::kOk;
}

bool DecodeFramePrefix(const std::uint8_t (&prefix)[protocol::kFramePrefixSize], FramePrefix* out) {
  return CheckFramePrefix(prefix, protocol::kMaxFrameSize, out) == PrefixCheck::kOk;
}

Bytes EncodeFrame(const std::uint8_t* header, std::span<const std::uint8_t> body,
                  std::uint8_t flags) {
  Bytes frame(protocol::kFramePrefixSize + protocol::kHeaderSize + body.size());
  WriteInt32(frame.data(), static_cast<std::int32_t>(protocol::kHeaderSize + body.size()));
  frame[4] = flags;
  std::memcpy(frame.data() + protocol::kFramePrefixSize, header, protocol::kHeaderSize);
  if (!body.empty()) {
    std::memcpy(frame.data() + protocol::kFramePrefixSize + protocol::kHeaderSize, body.data(),
                body.size());
  }
  return frame;
}

}  // namespace hrz::wire
