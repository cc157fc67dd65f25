#include "hrzcommon/krn_protocol.h"

#include <algorithm>

#include "hrzcommon/wire.h"

namespace hrz::krn {
namespace {

constexpr std::size_t kValueOffset = kMarkerBytes;
constexpr std::size_t kNameOffset = kMarkerBytes + 4;

void PutText(Bytes* out, std::u16string_view text) {
  for (char16_t c : text) {
    out->push_back(static_cast<std::uint8_t>(c & 0xff));
    out->push_back(static_cast<std::uint8_t>(c >> 8));
  }
}

Bytes MarkerOnly() {
  Bytes out;
  PutText(&out, kMarker);
  return out;
}

// UTF-16 text ending with its only 0 exactly at the end of bytes.
bool GetTerminatedText(std::span<const std::uint8_t> bytes, std::u16string* text) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return false;
  std::u16string out;
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 2) {
    const auto c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) return false;
    out.push_back(c);
  }
  if (bytes[bytes.size() - 2] != 0 || bytes[bytes.size() - 1] != 0) return false;
  if (text != nullptr) *text = std::move(out);
  return true;
}

}  // namespace

Bytes EncodeProcessRequest(std::uint32_t value, std::u16string_view name) {
  Bytes out = MarkerOnly();
  out.resize(kNameOffset);
  wire::WriteInt32(out.data() + kValueOffset, static_cast<std::int32_t>(value));
  PutText(&out, name);
  PutText(&out, std::u16string_view(u"\0", 1));
  return out;
}

Bytes EncodeTextRequest(std::u16string_view text) {
  Bytes out = MarkerOnly();
  PutText(&out, text);
  PutText(&out, std::u16string_view(u"\0", 1));
  return out;
}

Bytes EncodeMarkerReply(std::size_t size, std::u16string_view marker) {
  Bytes out;
  PutText(&out, marker);
  out.resize(size, 0);
  return out;
}

bool StartsWithMarker(std::span<const std::uint8_t> request) {
  const Bytes marker = MarkerOnly();
  return request.size() >= marker.size() &&
         std::equal(marker.begin(), marker.end(), request.begin());
}

bool DecodeProcessRequest(std::span<const std::uint8_t> request, std::uint32_t* value,
                          std::u16string* name) {
  if (request.size() < kNameOffset || !StartsWithMarker(request) ||
      !GetTerminatedText(request.subspan(kNameOffset), name)) {
    return false;
  }
  if (value != nullptr) {
    *value = static_cast<std::uint32_t>(wire::ReadInt32(request.data() + kValueOffset));
  }
  return true;
}

bool DecodeTextRequest(std::span<const std::uint8_t> request, std::u16string* text) {
  return StartsWithMarker(request) && GetTerminatedText(request.subspan(kMarkerBytes), text);
}

}  // namespace hrz::krn
