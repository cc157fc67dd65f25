// The local socket between the host's device calls and the driver stand-in: where each
// device's socket lies and how one control request and its reply are framed on it.
//
//   request: u32 control code, u32 input length, u32 output capacity, input bytes
//   reply:   u32 status (0 success, else a Windows error number), u32 length, bytes
//
// Little-endian. A reply is never longer than the request's output capacity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hrz::krn {

inline constexpr const char* kFolderVariable = "HRZKRND_DIR";

// HRZKRND_DIR when set, else $XDG_RUNTIME_DIR/hrzkrnd, else /tmp/hrzkrnd-<uid>.
std::string SocketFolder();
// 1 to 64 ASCII letters, digits and "_": a name that can stand in a socket path as it is.
bool IsDeviceName(std::string_view name);
std::string SocketPath(std::string_view folder, std::string_view device);

inline constexpr std::size_t kRequestHeaderSize = 12;
inline constexpr std::size_t kReplyHeaderSize = 8;
// Larger frames end the connection: no request of the module comes near them.
inline constexpr std::uint32_t kMaxInput = 65536;
inline constexpr std::uint32_t kMaxOutput = 65536;

enum Status : std::uint32_t {
  kStatusOk = 0,
  kStatusInvalidFunction = 1,  // unknown control code
  kStatusAccessDenied = 5,     // the marker is missing
  kStatusInvalidParameter = 87,
  kStatusInsufficientBuffer = 122,
  kStatusNotFound = 1168,  // unregistering what was never registered
};

struct RequestHeader {
  std::uint32_t code = 0;
  std::uint32_t inputLength = 0;
  std::uint32_t outputCapacity = 0;
};
struct ReplyHeader {
  std::uint32_t status = 0;
  std::uint32_t length = 0;
};

void EncodeRequestHeader(const RequestHeader& header, std::uint8_t (&out)[kRequestHeaderSize]);
// False when a length is above its maximum.
bool DecodeRequestHeader(const std::uint8_t (&in)[kRequestHeaderSize], RequestHeader* header);
void EncodeReplyHeader(const ReplyHeader& header, std::uint8_t (&out)[kReplyHeaderSize]);
// False when the length is above maxLength (the capacity the request offered).
bool DecodeReplyHeader(const std::uint8_t (&in)[kReplyHeaderSize], std::uint32_t maxLength,
                       ReplyHeader* header);

}  // namespace hrz::krn
