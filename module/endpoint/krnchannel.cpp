#include "endpoint/krnchannel.h"

#include <cstdint>

#include "hrzcommon/krn_protocol.h"
#include "hrzcommon/text.h"
#include "hrzcommon/wire.h"
#include "platform.h"

namespace hrz {
namespace {

// GetModuleFileNameW's buffer for the own path, in characters.
constexpr DWORD kOwnPathCapacity = 256;

char16_t FoldCase(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Exactly the marker and its 0 came back; the marker's letters may differ in case.
bool IsMarkerReply(std::uint8_t (&reply)[krn::kReplyCapacity], DWORD returned) {
  if (returned != krn::kReplySize) return false;
  reply[16] = 0;
  reply[17] = 0;
  for (std::size_t i = 0; i < krn::kMarker.size(); ++i) {
    const auto c = static_cast<char16_t>(reply[2 * i] | (reply[2 * i + 1] << 8));
    if (FoldCase(c) != FoldCase(krn::kMarker[i])) return false;
  }
  return true;
}

// Opens the device, sends the request with a 64-byte reply buffer, checks the reply and
// closes the device on every path.
int SendRequest(int kind, krn::ControlCode code, const krn::Bytes& request) {
  HANDLE device = KrnOpenDevice(kind, nullptr);
  if (device == nullptr) return 0;
  std::uint8_t reply[krn::kReplyCapacity] = {};
  DWORD returned = 0;
  const bool sent =
      DeviceIoControl(device, code, request.data(), static_cast<DWORD>(request.size()), reply,
                      sizeof reply, &returned, nullptr) != FALSE;
  const int result = sent && IsMarkerReply(reply, returned) ? 1 : 0;
  CloseHandle(device);
  return result;
}

std::u16string OwnFileName() {
  WCHAR path[kOwnPathCapacity] = {};
  if (GetModuleFileNameW(nullptr, path, kOwnPathCapacity) == 0) return {};
  return std::u16string(KrnFileNameOfPath(path));
}

int SendProcessRequest(int kind, krn::ControlCode code, DWORD value, std::u16string_view name) {
  return SendRequest(kind, code, krn::EncodeProcessRequest(value, name));
}

krn::ControlCode UnregisterCode(bool remove) {
  return remove ? krn::kUnregisterRemove : krn::kUnregisterKeep;
}

bool IsMissing(const char* text) {
  return text == nullptr || *text == '\0';
}

void SetError(std::string* error, const char* text) {
  if (error != nullptr) *error = text;
}

}  // namespace

std::string KrnDevicePath(int kind, DWORD majorVersion) {
  if (kind < 0 || kind >= static_cast<int>(krn::kDeviceNames.size())) return {};
  const std::string_view prefix = majorVersion < 5 ? "\\\\.\\" : "\\\\.\\Global\\";
  return std::string(prefix) + std::string(krn::kDeviceNames[static_cast<std::size_t>(kind)]);
}

HANDLE KrnOpenDevice(int kind, std::string* error) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  const std::string path = KrnDevicePath(kind, version.dwMajorVersion);
  HANDLE device = path.empty()
                      ? INVALID_HANDLE_VALUE
                      : CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == nullptr || device == INVALID_HANDLE_VALUE) {
    SetError(error, "OpenFailed");
    return nullptr;
  }
  std::uint8_t answer[krn::kProbeReplySize] = {};
  DWORD returned = 0;
  if (!DeviceIoControl(device, krn::kProbe, nullptr, 0, answer, sizeof answer, &returned,
                       nullptr) ||
      returned != sizeof answer ||
      static_cast<std::uint32_t>(wire::ReadInt32(answer)) != krn::kProbeAnswer) {
    CloseHandle(device);
    SetError(error, "InvalidResponse");
    return nullptr;
  }
  return device;
}

int KrnRegisterProcess(int kind) {
  return SendProcessRequest(kind, krn::kRegister, GetCurrentProcessId(), OwnFileName());
}

int KrnUnregisterProcess(int kind, bool remove) {
  return SendProcessRequest(kind, UnregisterCode(remove), GetCurrentProcessId(), OwnFileName());
}

int KrnRegisterEntry(int kind, DWORD value, std::string_view name) {
  return SendProcessRequest(kind, krn::kRegister, value, Utf8ToUtf16(name));
}

int KrnUnregisterEntry(int kind, bool remove, DWORD value, std::string_view name) {
  return SendProcessRequest(kind, UnregisterCode(remove), value, Utf8ToUtf16(name));
}

int KrnControl20(bool withProcessId) {
  return SendProcessRequest(0, krn::kControl20, withProcessId ? GetCurrentProcessId() : 0,
                            OwnFileName());
}

int KrnControl21(bool withProcessId) {
  return SendProcessRequest(0, krn::kControl21, withProcessId ? GetCurrentProcessId() : 0,
                            OwnFileName());
}

int KrnCheckFileName(const char* path) {
  if (path == nullptr) return 0;
  const std::u16string name(KrnFileNameOfPath(Utf8ToUtf16(path)));
  if (!KrnIsCheckableName(name)) return 0;
  return SendRequest(0, krn::kCheckFileName, krn::EncodeTextRequest(name));
}

int KrnSetValue(const char* name, const char* value) {
  const std::string text = IsMissing(name) || IsMissing(value) ? std::string("4pqr4=4pqr4")
                                                               : std::string(name) + "=" + value;
  return SendRequest(0, krn::kSetValue, krn::EncodeTextRequest(Utf8ToUtf16(text)));
}

std::u16string_view KrnFileNameOfPath(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

bool KrnIsCheckableName(std::u16string_view name) {
  return name.size() >= 7 && name[0] == u'[' && FoldCase(name[1]) == u'h' &&
         FoldCase(name[2]) == u'r' && name[3] != 0 && name[4] != 0 && name[5] != 0 &&
         (name[6] == u']' || name[6] == u'~');
}

}  // namespace hrz
