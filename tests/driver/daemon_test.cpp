// The stand-in on its sockets: one daemon per folder, stale sockets replaced, frames that
// cannot be trusted ending only their own connection.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "hrzcommon/krn_protocol.h"
#include "hrzcommon/krn_socket.h"
#include "hrzcommon/wire.h"
#include "hrzkrnd/daemon.h"
#include "support/temp_dir.h"

namespace hrzkrnd {
namespace {

namespace krn = hrz::krn;
using namespace std::chrono_literals;

// A plain client connection to one device socket.
class Connection {
 public:
  explicit Connection(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const timeval timeout{5, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  }
  ~Connection() { ::close(fd_); }

  bool connected() const { return connected_; }
  void SendHeader(const krn::RequestHeader& header, std::size_t bytes = krn::kRequestHeaderSize) {
    std::uint8_t prefix[krn::kRequestHeaderSize];
    krn::EncodeRequestHeader(header, prefix);
    ::send(fd_, prefix, bytes, MSG_NOSIGNAL);
  }
  // The probe's answer, or -1 when the connection ended instead.
  long Probe() {
    SendHeader({krn::kProbe, 0, 4});
    std::uint8_t reply[krn::kReplyHeaderSize + 4];
    if (::recv(fd_, reply, sizeof reply, MSG_WAITALL) != sizeof reply) return -1;
    return hrz::wire::ReadInt32(reply + krn::kReplyHeaderSize);
  }
  bool Ended() {
    std::uint8_t byte;
    return ::recv(fd_, &byte, 1, 0) == 0;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

std::unique_ptr<Daemon> StartIn(const std::string& folder, std::string* error = nullptr) {
  std::string ignored;
  return Daemon::Start(folder, {}, nullptr, error != nullptr ? error : &ignored);
}

TEST(StandInDaemon, ServesEachDeviceOnItsSocketAndRemovesThemAtTheEnd) {
  hrztest::TempDir folder;
  {
    auto daemon = StartIn(folder.Path());
    ASSERT_TRUE(daemon);
    for (std::string_view device : krn::kDeviceNames) {
      Connection connection(krn::SocketPath(folder.Path(), device));
      ASSERT_TRUE(connection.connected()) << device;
      EXPECT_EQ(connection.Probe(), 311) << device;
      EXPECT_EQ(connection.Probe(), 311) << "a second request on the connection";
      EXPECT_EQ(daemon->driver().Requests().back().device, device);
    }
  }
  for (std::string_view device : krn::kDeviceNames) {
    EXPECT_FALSE(std::filesystem::exists(krn::SocketPath(folder.Path(), device))) << device;
  }
}

TEST(StandInDaemon, OneDaemonPerFolderAndStaleSocketsReplaced) {
  hrztest::TempDir folder;
  // A socket left behind by a daemon that ended without cleaning up.
  {
    const std::string path = krn::SocketPath(folder.Path(), "KQHost");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
  }
  auto first = StartIn(folder.Path());
  ASSERT_TRUE(first);
  std::string error;
  EXPECT_FALSE(StartIn(folder.Path(), &error));
  EXPECT_NE(error.find("already answers"), std::string::npos) << error;
  // The refused second daemon took nothing away from the first.
  Connection connection(krn::SocketPath(folder.Path(), "PDKrn"));
  EXPECT_EQ(connection.Probe(), 311);
}

TEST(StandInDaemon, RefusesFoldersAndNamesItCannotUse) {
  hrztest::TempDir folder;
  std::ofstream(folder.File("plain-file")) << "x";
  struct Case {
    const char* label;
    std::string folder;
    std::vector<std::string> devices;
    const char* error;
  };
  const Case cases[] = {
      {"a file as the folder", folder.File("plain-file"), {"PDKrn"}, "not a directory"},
      {"a folder in a missing folder", folder.File("no/such"), {"PDKrn"}, "cannot create"},
      {"a device name with a slash", folder.Path(), {"../PDKrn"}, "not a device name"},
      {"a device name of 65 characters",
       folder.Path(),
       {std::string(65, 'a')},
       "not a device name"},
      {"a folder too deep for a socket path",
       folder.File(std::string(100, 'd')),
       {"PDKrn"},
       "too long"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Daemon::Start(c.folder, {.devices = c.devices}, nullptr, &error)) << c.label;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.label << ": " << error;
  }
}

TEST(StandInDaemon, AnUntrustworthyFrameEndsOnlyItsConnection) {
  hrztest::TempDir folder;
  auto daemon = StartIn(folder.Path());
  ASSERT_TRUE(daemon);
  const std::string path = krn::SocketPath(folder.Path(), "PDKrn");
  Connection tooLong(path), tooLarge(path), halfSent(path), fine(path);
  tooLong.SendHeader({krn::kSetValue, krn::kMaxInput + 1, 64});
  EXPECT_TRUE(tooLong.Ended());
  tooLarge.SendHeader({krn::kSetValue, 0, krn::kMaxOutput + 1});
  EXPECT_TRUE(tooLarge.Ended());
  halfSent.SendHeader({krn::kProbe, 0, 4}, 6);
  EXPECT_EQ(fine.Probe(), 311) << "a client that stops halfway holds up no one";
}

// Out of descriptors, the daemon neither spins on the failing accept nor drops the waiting
// client: it says so, and serves the client once a descriptor is free again.
TEST(StandInDaemon, AFailedAcceptWaitsAndServesTheClientLater) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizers open a pipe to check memory before each virtual call; with no descriptor
  // left they report every such call as broken.
  GTEST_SKIP() << "needs every descriptor, which the sanitizers' own checks take";
#endif
  hrztest::TempDir folder;
  std::mutex mutex;
  int failures = 0;
  std::string error;
  auto daemon = Daemon::Start(
      folder.Path(), {},
      [&](std::string_view line) {
        std::lock_guard lock(mutex);
        if (line.find("cannot accept") != std::string_view::npos) ++failures;
      },
      &error);
  ASSERT_TRUE(daemon) << error;
  const auto failed = [&] {
    std::lock_guard lock(mutex);
    return failures;
  };

  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowestFree = ::dup(0);
  ::close(lowestFree);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowestFree) + 1;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  // The client's socket takes the last descriptor; the daemon's accept finds none.
  Connection connection(krn::SocketPath(folder.Path(), krn::kDeviceNames[0]));
  for (int i = 0; i < 500 && failed() == 0; ++i) std::this_thread::sleep_for(10ms);
  std::this_thread::sleep_for(600ms);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);

  ASSERT_TRUE(connection.connected());
  EXPECT_GE(failed(), 1);
  EXPECT_LE(failed(), 20) << "a failing accept is retried after a pause, not at once";
  EXPECT_EQ(connection.Probe(), 311);
}

}  // namespace
}  // namespace hrzkrnd
