// The driver channel's operations against the stand-in: device paths, the probe, the reply
// checks, what each request carries, and no driver at all.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "endpoint/krnchannel.h"
#include "hrzcommon/krn_protocol.h"
#include "hrzcommon/krn_socket.h"
#include "platform.h"
#include "support/stand_in_driver.h"

namespace hrz {
namespace {

using hrzkrnd::DriverOptions;
using hrzkrnd::Registration;
using hrzkrnd::Request;
using hrztest::StandInDriver;

// The running program's file name, as the channel should send it.
std::string OwnName() {
  return std::filesystem::read_symlink("/proc/self/exe").filename().string();
}

std::vector<std::uint32_t> Codes(const std::vector<Request>& requests) {
  std::vector<std::uint32_t> codes;
  for (const Request& request : requests) codes.push_back(request.code);
  return codes;
}

TEST(KrnChannel, DevicePathFollowsTheVersionAndEitherFormReachesTheDriver) {
  StandInDriver driver;
  struct Case {
    int kind;
    DWORD major;
    const char* path;
  };
  const Case cases[] = {
      {2, 4, "\\\\.\\KQHost"},
      {2, 5, "\\\\.\\Global\\KQHost"},
      {0, 6, "\\\\.\\Global\\PDKrn"},
      {1, 3, "\\\\.\\PDKrnTc"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KrnDevicePath(c.kind, c.major), c.path);
    HANDLE device = CreateFileA(c.path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE) << c.path;
    std::uint8_t answer[4] = {};
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(device, krn::kProbe, nullptr, 0, answer, 4, &returned, nullptr));
    EXPECT_EQ(driver.Requests().back().device, krn::kDeviceNames[c.kind]) << c.path;
    EXPECT_TRUE(CloseHandle(device));
  }
  EXPECT_EQ(KrnDevicePath(3, 6), "");
  EXPECT_EQ(KrnDevicePath(-1, 6), "");
}

TEST(KrnChannel, OpeningAcceptsOnlyADriverThatAnswers311) {
  struct Case {
    const char* label;
    bool driverRuns;
    std::uint32_t answer;
    const char* error;
  };
  const Case cases[] = {
      {"the right driver", true, 311, ""},
      {"a driver answering 310", true, 310, "InvalidResponse"},
      {"no driver", false, 311, "OpenFailed"},
  };
  for (const Case& c : cases) {
    StandInDriver driver({.probeAnswer = c.answer});
    if (!c.driverRuns) driver.Stop();
    std::string error;
    HANDLE device = KrnOpenDevice(2, &error);
    EXPECT_EQ(device != nullptr, *c.error == '\0') << c.label;
    EXPECT_EQ(error, c.error) << c.label;
    if (device != nullptr) CloseHandle(device);
    EXPECT_EQ(KrnOpenDevice(2, nullptr) != nullptr, *c.error == '\0') << c.label;
    // A request goes no further than the probe of a device that was not accepted.
    const int registered = KrnRegisterProcess(2);
    EXPECT_EQ(registered, *c.error == '\0' ? 1 : 0) << c.label;
    if (c.driverRuns && !registered) {
      EXPECT_EQ(Codes(driver.Requests()), std::vector<std::uint32_t>(3, krn::kProbe)) << c.label;
    }
  }
}

TEST(KrnChannel, ReplyMustBeTheMarkerIn18Bytes) {
  struct Case {
    const char* label;
    std::size_t size;
    std::u16string marker;
    int result;
  };
  const Case cases[] = {
      {"18 bytes", 18, std::u16string(krn::kMarker), 1},
      {"16 bytes", 16, std::u16string(krn::kMarker), 0},
      {"20 bytes", 20, std::u16string(krn::kMarker), 0},
      {"another last character", 18, u"%&6142?+", 0},
      {"a 0 inside the marker", 18, std::u16string(u"%&6142?\0", 8), 0},
      // The module sets bytes 16 and 17 to 0 itself: what the driver puts there is no matter.
      {"no 0 after the marker", 18, u"%&6142?*!", 1},
  };
  for (const Case& c : cases) {
    StandInDriver driver({.replySize = c.size, .replyMarker = c.marker});
    EXPECT_EQ(KrnRegisterProcess(0), c.result) << c.label;
    // The driver took the request either way: only the reply decided.
    EXPECT_EQ(driver.Registered("PDKrn").size(), 1u) << c.label;
  }
}

TEST(KrnChannel, ProcessRequestsCarryTheProgramOrTheCallersValues) {
  StandInDriver driver;
  const Registration own{GetCurrentProcessId(), OwnName()};
  ASSERT_EQ(KrnRegisterProcess(1), 1);
  EXPECT_EQ(driver.Registered("PDKrnTc"), std::vector<Registration>{own});
  ASSERT_EQ(KrnRegisterEntry(1, 77, "other.exe"), 1);
  EXPECT_EQ(driver.Registered("PDKrnTc"), (std::vector<Registration>{own, {77, "other.exe"}}));

  struct Case {
    const char* label;
    std::function<int()> operation;
    const char* device;
    std::uint32_t code;
    std::uint32_t value;
    std::string name;
  };
  const Case cases[] = {
      {"unregister entry, keep", [] { return KrnUnregisterEntry(1, false, 77, "other.exe"); },
       "PDKrnTc", krn::kUnregisterKeep, 77, "other.exe"},
      {"unregister own, remove", [] { return KrnUnregisterProcess(1, true); }, "PDKrnTc",
       krn::kUnregisterRemove, own.value, own.name},
      {"control 20 with the process id", [] { return KrnControl20(true); }, "PDKrn",
       krn::kControl20, own.value, own.name},
      {"control 20 without", [] { return KrnControl20(false); }, "PDKrn", krn::kControl20, 0,
       own.name},
      {"control 21 with the process id", [] { return KrnControl21(true); }, "PDKrn",
       krn::kControl21, own.value, own.name},
      {"control 21 without", [] { return KrnControl21(false); }, "PDKrn", krn::kControl21, 0,
       own.name},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.operation(), 1) << c.label;
    const Request seen = driver.Requests().back();
    EXPECT_EQ(seen.device, c.device) << c.label;
    EXPECT_EQ(seen.code, c.code) << c.label;
    EXPECT_EQ(seen.value, c.value) << c.label;
    EXPECT_EQ(seen.text, c.name) << c.label;
  }
  EXPECT_TRUE(driver.Registered("PDKrnTc").empty());
  // What the driver does not hold it refuses to unregister.
  EXPECT_EQ(KrnUnregisterEntry(1, true, 77, "other.exe"), 0);
}

TEST(KrnChannel, OwnFileNameIsThePartAfterTheLastSeparator) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\Program Files\\hrz\\hrzhost.exe", u"hrzhost.exe"},
      {u"/opt/hrz/bin/hrzhost", u"hrzhost"},
      {u"C:/hrz\\sub/host.exe", u"host.exe"},
      {u"D:\\hrz/sub\\host.exe", u"host.exe"},
      {u"host.exe", u"host.exe"},
      {u"folder/", u""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(KrnFileNameOfPath(path), name);
}

TEST(KrnChannel, CheckFileNameAsksOnlyAboutMarkedNames) {
  StandInDriver driver({.refusedNames = {"[HR9*"}});
  struct Case {
    const char* path;
    int result;
    const char* sent;  // null: no request
  };
  const Case cases[] = {
      {"[HR123~a.dwg", 1, "[HR123~a.dwg"},
      {"[hr123]x", 1, "[hr123]x"},
      {"C:\\work\\[HR123~a.dwg", 1, "[HR123~a.dwg"},
      {"/home/u/drawings/[Hr456]b.dwg", 1, "[Hr456]b.dwg"},
      {"[HR900~a.dwg", 0, "[HR900~a.dwg"},  // the driver refuses it
      {"[HR12]", 0, nullptr},               // six characters
      {"[HR1234]", 0, nullptr},             // the seventh is neither "]" nor "~"
      {"HR123~ab", 0, nullptr},
      {"[XR123~a", 0, nullptr},
      {"C:\\[HR123~a\\plain.dwg", 0, nullptr},
      {"", 0, nullptr},
  };
  for (const Case& c : cases) {
    const std::size_t before = driver.Requests().size();
    EXPECT_EQ(KrnCheckFileName(c.path), c.result) << c.path;
    const std::vector<Request> requests = driver.Requests();
    if (c.sent == nullptr) {
      EXPECT_EQ(requests.size(), before) << c.path;
    } else {
      ASSERT_GT(requests.size(), before) << c.path;
      EXPECT_EQ(requests.back().code, krn::kCheckFileName) << c.path;
      EXPECT_EQ(requests.back().device, "PDKrn") << c.path;
      EXPECT_EQ(requests.back().text, c.sent) << c.path;
    }
  }
  EXPECT_EQ(KrnCheckFileName(nullptr), 0);
}

TEST(KrnChannel, SetValueSendsNameEqualsValueOrThePlaceholder) {
  StandInDriver driver;
  struct Case {
    const char* name;
    const char* value;
    const char* sent;
  };
  const Case cases[] = {
      {"Mode", "strict", "Mode=strict"},
      {"Mode", "", "4pqr4=4pqr4"},
      {"", "strict", "4pqr4=4pqr4"},
      {nullptr, "strict", "4pqr4=4pqr4"},
      {"Mode", nullptr, "4pqr4=4pqr4"},
      {"Pfad", "C:\\Zeichnungen\\Übersicht", "Pfad=C:\\Zeichnungen\\Übersicht"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KrnSetValue(c.name, c.value), 1) << c.sent;
    const Request seen = driver.Requests().back();
    EXPECT_EQ(seen.code, krn::kSetValue);
    EXPECT_EQ(seen.device, "PDKrn");
    EXPECT_EQ(seen.text, c.sent);
  }
}

// A socket file that nothing listens on any more, as a driver that crashed leaves it.
void LeaveStaleSocket(const std::string& folder, std::string_view device) {
  const std::string path = krn::SocketPath(folder, device);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

TEST(KrnChannel, WithoutADriverEveryOperationReturns0) {
  const std::pair<const char*, std::function<int()>> operations[] = {
      {"register", [] { return KrnRegisterProcess(0); }},
      {"unregister", [] { return KrnUnregisterProcess(2, true); }},
      {"register entry", [] { return KrnRegisterEntry(1, 5, "a.exe"); }},
      {"unregister entry", [] { return KrnUnregisterEntry(1, false, 5, "a.exe"); }},
      {"control 20", [] { return KrnControl20(true); }},
      {"control 21", [] { return KrnControl21(false); }},
      {"check file name", [] { return KrnCheckFileName("[HR123~a.dwg"); }},
      {"set value", [] { return KrnSetValue("a", "b"); }},
      {"open", [] { return KrnOpenDevice(0, nullptr) != nullptr ? 1 : 0; }},
  };
  for (bool stale : {false, true}) {
    StandInDriver driver;
    driver.Stop();
    if (stale) {
      for (std::string_view device : krn::kDeviceNames) LeaveStaleSocket(driver.Folder(), device);
    }
    for (const auto& [label, operation] : operations) {
      EXPECT_EQ(operation(), 0) << label << (stale ? " (stale sockets)" : "");
    }
  }
}

}  // namespace
}  // namespace hrz
