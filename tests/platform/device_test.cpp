// The device calls over the driver's local sockets, the system and process calls, and the
// quit message.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "hrzcommon/krn_protocol.h"
#include "hrzcommon/krn_socket.h"
#include "hrzcommon/text.h"
#include "hrzcommon/wire.h"
#include "platform.h"
#include "platform_ui.h"
#include "support/qt_app.h"
#include "support/stand_in_driver.h"

namespace {

namespace krn = hrz::krn;
using hrztest::StandInDriver;

HANDLE Open(const char* path, DWORD creation = OPEN_EXISTING) {
  return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, creation,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(DeviceCalls, OnlyDeviceNamesOfARunningDriverOpen) {
  StandInDriver driver;
  struct Case {
    const char* path;
    bool opens;
  };
  const Case cases[] = {
      {"\\\\.\\KQHost", true},
      {"\\\\.\\Global\\KQHost", true},
      {"\\\\.\\GLOBAL\\PDKrn", true},
      {"\\\\.\\Missing", false},
      {"KQHost", false},
      {"\\\\.\\", false},
      {"\\\\.\\..\\KQHost", false},
      {"\\\\.\\Global\\a/b", false},
      {"/tmp/KQHost", false},
      {"\\\\?\\KQHost", false},
  };
  for (const Case& c : cases) {
    HANDLE device = Open(c.path);
    EXPECT_EQ(device != INVALID_HANDLE_VALUE, c.opens) << c.path;
    if (device != INVALID_HANDLE_VALUE) {
      EXPECT_TRUE(CloseHandle(device));
    }
  }
  EXPECT_EQ(Open(nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open("\\\\.\\KQHost", 2 /* CREATE_ALWAYS */), INVALID_HANDLE_VALUE);
}

TEST(DeviceCalls, ControlRequestsRoundTripAndFailClearly) {
  StandInDriver driver;
  HANDLE device = Open("\\\\.\\PDKrn");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::uint8_t out[64] = {};
  DWORD returned = 99;
  ASSERT_TRUE(DeviceIoControl(device, krn::kProbe, nullptr, 0, out, 4, &returned, nullptr));
  EXPECT_EQ(returned, 4u);
  EXPECT_EQ(hrz::wire::ReadInt32(out), 311);

  const krn::Bytes request = krn::EncodeTextRequest(u"a=b");
  const auto size = static_cast<DWORD>(request.size());
  ASSERT_TRUE(
      DeviceIoControl(device, krn::kSetValue, request.data(), size, out, 64, &returned, nullptr));
  EXPECT_EQ(returned, krn::kReplySize);
  EXPECT_EQ(std::memcmp(out, krn::EncodeMarkerReply(krn::kReplySize).data(), returned), 0);

  struct Case {
    const char* label;
    DWORD code;
    DWORD outSize;
    bool withReturned;
    bool overlapped;
  };
  const Case refused[] = {
      {"the driver refuses the code", 2, 64, true, false},
      {"the reply does not fit", krn::kSetValue, 17, true, false},
      {"no count of returned bytes", krn::kSetValue, 64, false, false},
      {"overlapped", krn::kSetValue, 64, true, true},
  };
  for (const Case& c : refused) {
    returned = 99;
    auto* overlapped = reinterpret_cast<OVERLAPPED*>(c.overlapped ? out : nullptr);
    EXPECT_FALSE(DeviceIoControl(device, c.code, request.data(), size, out, c.outSize,
                                 c.withReturned ? &returned : nullptr, overlapped))
        << c.label;
    if (c.withReturned) {
      EXPECT_EQ(returned, 0u) << c.label;
    }
  }
  // The connection is still in step after the refusals.
  EXPECT_TRUE(DeviceIoControl(device, krn::kProbe, nullptr, 0, out, 4, &returned, nullptr));

  EXPECT_TRUE(CloseHandle(device));
  EXPECT_FALSE(CloseHandle(device)) << "closed twice";
  EXPECT_FALSE(DeviceIoControl(device, krn::kProbe, nullptr, 0, out, 4, &returned, nullptr));
  int notADevice = 0;
  EXPECT_FALSE(CloseHandle(&notADevice));
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

// A driver that answers the first request of a connection with a reply longer than the
// capacity the request offered.
class OverlongReplyDriver {
 public:
  explicit OverlongReplyDriver(const std::string& path) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    EXPECT_EQ(::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listener_, 1), 0);
    thread_ = std::thread([this] {
      const int client = ::accept(listener_, nullptr, nullptr);
      std::uint8_t header[krn::kRequestHeaderSize];
      if (::recv(client, header, sizeof header, MSG_WAITALL) == sizeof header) {
        std::uint8_t prefix[krn::kReplyHeaderSize];
        krn::EncodeReplyHeader({krn::kStatusOk, 100}, prefix);
        std::uint8_t reply[sizeof prefix + 100] = {};
        std::memcpy(reply, prefix, sizeof prefix);
        ::send(client, reply, sizeof reply, MSG_NOSIGNAL);
      }
      std::uint8_t rest[16];
      while (::recv(client, rest, sizeof rest, 0) > 0) {
      }
      ::close(client);
    });
  }
  ~OverlongReplyDriver() {
    thread_.join();
    ::close(listener_);
  }

 private:
  int listener_ = -1;
  std::thread thread_;
};

TEST(DeviceCalls, AReplyLongerThanTheBufferIsRefusedAndEndsTheHandle) {
  StandInDriver driver;  // for the socket folder
  OverlongReplyDriver rogue(krn::SocketPath(driver.Folder(), "Rogue"));
  HANDLE device = Open("\\\\.\\Rogue");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  std::uint8_t out[64 + 8] = {};
  std::memset(out + 64, 0xa5, 8);
  DWORD returned = 0;
  EXPECT_FALSE(DeviceIoControl(device, krn::kProbe, nullptr, 0, out, 64, &returned, nullptr));
  for (int i = 64; i < 72; ++i) EXPECT_EQ(out[i], 0xa5) << "written past the buffer";
  EXPECT_FALSE(DeviceIoControl(device, krn::kProbe, nullptr, 0, out, 64, &returned, nullptr))
      << "the framing is lost: the handle serves no further request";
  EXPECT_TRUE(CloseHandle(device));
}

TEST(SystemCalls, VersionIsTheRunningKernels) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExA(&version));
  utsname name{};
  ASSERT_EQ(::uname(&name), 0);
  unsigned major = 0, minor = 0;
  ASSERT_EQ(std::sscanf(name.release, "%u.%u", &major, &minor), 2);
  EXPECT_EQ(version.dwMajorVersion, major);
  EXPECT_EQ(version.dwMinorVersion, minor);
  EXPECT_STREQ(version.szCSDVersion, name.release);
  version.dwOSVersionInfoSize = 156;
  EXPECT_FALSE(GetVersionExA(&version)) << "the size must be the structure's";
  EXPECT_FALSE(GetVersionExA(nullptr));
}

TEST(SystemCalls, ProcessIdAndWideModuleFileName) {
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(::getpid()));
  char narrow[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, narrow, MAX_PATH), 0u);
  WCHAR wide[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, wide, MAX_PATH);
  EXPECT_EQ(std::u16string(wide), hrz::Utf8ToUtf16(narrow));
  EXPECT_EQ(length, std::u16string(wide).size());
  WCHAR small[5] = {u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u) << "cut: the size comes back";
  EXPECT_EQ(std::u16string(small), hrz::Utf8ToUtf16(std::string(narrow, 4)));
  EXPECT_EQ(GetModuleFileNameW(nullptr, nullptr, 5), 0u);
}

TEST(QuitMessage, EndsTheModalLoopAndTheMainLoopWithTheExitCode) {
  hrztest::App();
  bool modalReturned = false;
  QTimer::singleShot(0, [&modalReturned] {
    QEventLoop modal;
    PostQuitMessage(3);
    modal.exec();
    modalReturned = true;
  });
  QTimer fallback;
  QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  fallback.start(5000);
  EXPECT_EQ(QCoreApplication::exec(), 3);
  EXPECT_TRUE(modalReturned);
}

}  // namespace
