#include "hrzcommon/krn_socket.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "hrzcommon/wire.h"

namespace hrz::krn {
namespace {

constexpr std::size_t kMaxDeviceName = 64;

void Put(std::uint8_t* p, std::uint32_t value) {
  wire::WriteInt32(p, static_cast<std::int32_t>(value));
}
std::uint32_t Get(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(wire::ReadInt32(p));
}

const char* NonEmptyVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::string SocketFolder() {
  if (const char* folder = NonEmptyVariable(kFolderVariable)) return folder;
  if (const char* runtime = NonEmptyVariable("XDG_RUNTIME_DIR")) {
    return std::string(runtime) + "/hrzkrnd";
  }
  return "/tmp/hrzkrnd-" + std::to_string(::getuid());
}

bool IsDeviceName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxDeviceName &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_';
         });
}

std::string SocketPath(std::string_view folder, std::string_view device) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += device;
  return path;
}

void EncodeRequestHeader(const RequestHeader& header, std::uint8_t (&out)[kRequestHeaderSize]) {
  Put(out, header.code);
  Put(out + 4, header.inputLength);
  Put(out + 8, header.outputCapacity);
}

bool DecodeRequestHeader(const std::uint8_t (&in)[kRequestHeaderSize], RequestHeader* header) {
  header->code = Get(in);
  header->inputLength = Get(in + 4);
  header->outputCapacity = Get(in + 8);
  return header->inputLength <= kMaxInput && header->outputCapacity <= kMaxOutput;
}

void EncodeReplyHeader(const ReplyHeader& header, std::uint8_t (&out)[kReplyHeaderSize]) {
  Put(out, header.status);
  Put(out + 4, header.length);
}

bool DecodeReplyHeader(const std::uint8_t (&in)[kReplyHeaderSize], std::uint32_t maxLength,
                       ReplyHeader* header) {
  header->status = Get(in);
  header->length = Get(in + 4);
  return header->length <= maxLength;
}

}  // namespace hrz::krn
