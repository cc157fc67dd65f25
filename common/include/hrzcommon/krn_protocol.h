// What the module and the encryption driver agree on: the devices, the control codes, the
// marker that opens every request and comes back as the reply, and the request layouts.
// All numbers are little-endian; texts are UTF-16 with a terminating 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hrz::krn {

// Device names by kind (0, 1, 2).
inline constexpr std::array<std::string_view, 3> kDeviceNames = {"PDKrn", "PDKrnTc", "KQHost"};

enum ControlCode : std::uint32_t {
  kProbe = 1,             // no input; the reply is the driver's 4-byte answer
  kRegister = 3,          // process request
  kUnregisterRemove = 4,  // process request
  kUnregisterKeep = 5,    // process request
  kCheckFileName = 16,    // text request: a file name
  kControl20 = 20,        // process request
  kControl21 = 21,        // process request
  kSetValue = 29,         // text request: "name=value"
};

inline constexpr std::uint32_t kProbeAnswer = 311;
inline constexpr std::size_t kProbeReplySize = 4;

// 8 UTF-16 characters, sent without a terminator.
inline constexpr std::u16string_view kMarker = u"%&6142?*";
inline constexpr std::size_t kMarkerBytes = 16;
// A request's reply: the marker followed by a 0 character.
inline constexpr std::size_t kReplySize = 18;
// What the module offers for a reply.
inline constexpr std::size_t kReplyCapacity = 64;

using Bytes = std::vector<std::uint8_t>;

// Marker, 32-bit value, name and its 0: 20 + 2 * (name length + 1) bytes.
Bytes EncodeProcessRequest(std::uint32_t value, std::u16string_view name);
// Marker, text and its 0: 16 + 2 * (text length + 1) bytes.
Bytes EncodeTextRequest(std::u16string_view text);
// The marker and zeros up to size bytes: a well-behaved driver answers kReplySize bytes and
// kMarker.
Bytes EncodeMarkerReply(std::size_t size, std::u16string_view marker = kMarker);

bool StartsWithMarker(std::span<const std::uint8_t> request);
// False unless the request is exactly one well-formed layout: the marker, (the value,)
// the text, its 0 and nothing after it.
bool DecodeProcessRequest(std::span<const std::uint8_t> request, std::uint32_t* value,
                          std::u16string* name);
bool DecodeTextRequest(std::span<const std::uint8_t> request, std::u16string* text);

}  // namespace hrz::krn
