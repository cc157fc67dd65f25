// Device handles over the driver's local sockets: one connection per handle, one framed
// request and reply per DeviceIoControl (hrzcommon/krn_socket.h).
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hrzcommon/krn_socket.h"
#include "hrzcommon/text.h"
#include "platform.h"

namespace {

namespace krn = hrz::krn;

// A driver that does not answer must not hang the user-interface thread for good.
constexpr int kReplyTimeoutSeconds = 5;

class Device {
 public:
  explicit Device(int fd) : fd_(fd) {}
  ~Device() { ::close(fd_); }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD capacity,
               DWORD* returned);
  // Wakes a request in progress on another thread; it then fails.
  void Shut() { ::shutdown(fd_, SHUT_RDWR); }

 private:
  bool SendAll(const std::uint8_t* data, std::size_t size);
  bool ReceiveAll(std::uint8_t* data, std::size_t size);

  int fd_;
  std::mutex mutex_;     // one request at a time on the connection
  bool broken_ = false;  // guarded by mutex_: the framing was lost, no request can follow
};

bool Device::SendAll(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool Device::ReceiveAll(std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::recv(fd_, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool Device::Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD capacity,
                     DWORD* returned) {
  std::lock_guard lock(mutex_);
  if (broken_) return false;
  std::vector<std::uint8_t> frame(krn::kRequestHeaderSize + inSize);
  std::uint8_t header[krn::kRequestHeaderSize];
  krn::EncodeRequestHeader({code, inSize, capacity}, header);
  std::memcpy(frame.data(), header, sizeof header);
  if (inSize > 0) std::memcpy(frame.data() + sizeof header, in, inSize);
  std::uint8_t replyPrefix[krn::kReplyHeaderSize];
  krn::ReplyHeader reply;
  broken_ = !SendAll(frame.data(), frame.size()) || !ReceiveAll(replyPrefix, sizeof replyPrefix) ||
            !krn::DecodeReplyHeader(replyPrefix, capacity, &reply) ||
            !ReceiveAll(static_cast<std::uint8_t*>(out), reply.length);
  if (broken_ || reply.status != krn::kStatusOk) return false;
  *returned = reply.length;
  return true;
}

std::mutex g_devicesMutex;
// The open handles, so that a stale or foreign handle is refused instead of followed.
std::map<HANDLE, std::shared_ptr<Device>>& Devices() {  // guarded by g_devicesMutex
  static auto* devices = new std::map<HANDLE, std::shared_ptr<Device>>();
  return *devices;
}

std::shared_ptr<Device> FindDevice(HANDLE handle) {
  std::lock_guard lock(g_devicesMutex);
  auto it = Devices().find(handle);
  return it != Devices().end() ? it->second : nullptr;
}

// NAME of "\\.\NAME" or "\\.\Global\NAME", or empty.
std::string_view DeviceName(std::string_view path) {
  constexpr std::string_view kDevicePrefix = "\\\\.\\";
  constexpr std::string_view kGlobal = "Global\\";
  if (!path.starts_with(kDevicePrefix)) return {};
  path.remove_prefix(kDevicePrefix.size());
  if (hrz::StartsWithNoCase(path, kGlobal)) path.remove_prefix(kGlobal.size());
  return krn::IsDeviceName(path) ? path : std::string_view();
}

int ConnectTo(const std::string& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const timeval timeout{kReplyTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

HANDLE CreateFileA(const char* path, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD creation, DWORD,
                   HANDLE) {
  const std::string_view name = path != nullptr ? DeviceName(path) : std::string_view();
  if (name.empty() || creation != OPEN_EXISTING) return INVALID_HANDLE_VALUE;
  const int fd = ConnectTo(krn::SocketPath(krn::SocketFolder(), name));
  if (fd < 0) return INVALID_HANDLE_VALUE;
  auto device = std::make_shared<Device>(fd);
  HANDLE handle = device.get();
  std::lock_guard lock(g_devicesMutex);
  Devices().emplace(handle, std::move(device));
  return handle;
}

BOOL DeviceIoControl(HANDLE handle, DWORD code, const void* in, DWORD inSize, void* out,
                     DWORD outSize, DWORD* returned, OVERLAPPED* overlapped) {
  if (returned != nullptr) *returned = 0;
  if (overlapped != nullptr || returned == nullptr || (in == nullptr && inSize > 0) ||
      (out == nullptr && outSize > 0) || inSize > krn::kMaxInput) {
    return FALSE;
  }
  std::shared_ptr<Device> device = FindDevice(handle);
  const DWORD capacity = std::min<DWORD>(outSize, krn::kMaxOutput);
  return device != nullptr && device->Control(code, in, inSize, out, capacity, returned) ? TRUE
                                                                                         : FALSE;
}

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<Device> device;
  {
    std::lock_guard lock(g_devicesMutex);
    auto it = Devices().find(handle);
    if (it == Devices().end()) return FALSE;
    device = std::move(it->second);
    Devices().erase(it);
  }
  // A request still running on another thread holds its own reference and fails.
  device->Shut();
  return TRUE;
}
