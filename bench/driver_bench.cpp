// Requests to the driver stand-in beside their floor, measured in the same iterations so
// that all see the same machine:
//   channel      one operation of the module's channel (open the device, probe, one set-value
//                request, close), as every channel operation runs;
//   device       one set-value request with DeviceIoControl on a handle kept open;
//   ping_pong    the floor: the same request and reply bytes over a local socket pair to a
//                thread that only reads the request and writes a fixed reply.
// Counters: each in microseconds, the rates per second and the ratios to the floor.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "endpoint/krnchannel.h"
#include "hrzcommon/krn_protocol.h"
#include "hrzcommon/krn_socket.h"
#include "platform.h"
#include "support/stand_in_driver.h"

namespace {

namespace krn = hrz::krn;
using Clock = std::chrono::steady_clock;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool ReadAll(int fd, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// A thread answering fixed-size requests with a fixed reply until the pair closes.
class PingPong {
 public:
  PingPong(std::size_t requestSize, std::vector<std::uint8_t> reply)
      : request_(requestSize), reply_(std::move(reply)) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
    client_ = fds[0];
    server_ = fds[1];
    thread_ = std::thread([this] {
      std::vector<std::uint8_t> in(request_.size());
      while (ReadAll(server_, in.data(), in.size()) &&
             WriteAll(server_, reply_.data(), reply_.size())) {
      }
    });
  }
  ~PingPong() {
    ::shutdown(client_, SHUT_RDWR);
    thread_.join();
    ::close(client_);
    ::close(server_);
  }

  void Run() {
    std::vector<std::uint8_t> in(reply_.size());
    if (!WriteAll(client_, request_.data(), request_.size()) ||
        !ReadAll(client_, in.data(), in.size())) {
      std::abort();
    }
  }

 private:
  std::vector<std::uint8_t> request_;
  std::vector<std::uint8_t> reply_;
  int client_ = -1;
  int server_ = -1;
  std::thread thread_;
};

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

void BM_DriverRequests(benchmark::State& state) {
  hrztest::StandInDriver driver;
  const krn::Bytes request = krn::EncodeTextRequest(u"a=b");
  const krn::Bytes reply = krn::EncodeMarkerReply(krn::kReplySize);
  std::vector<std::uint8_t> replyFrame(krn::kReplyHeaderSize, 0);
  replyFrame[4] = static_cast<std::uint8_t>(reply.size());
  replyFrame.insert(replyFrame.end(), reply.begin(), reply.end());
  PingPong floor(krn::kRequestHeaderSize + request.size(), replyFrame);

  HANDLE device = hrz::KrnOpenDevice(0, nullptr);
  if (device == nullptr) std::abort();
  std::uint8_t out[krn::kReplyCapacity];
  double channel = 0, single = 0, pingPong = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    if (hrz::KrnSetValue("a", "b") == 0) std::abort();
    const Clock::time_point channelDone = Clock::now();
    DWORD returned = 0;
    if (!DeviceIoControl(device, krn::kSetValue, request.data(), static_cast<DWORD>(request.size()),
                         out, sizeof out, &returned, nullptr)) {
      std::abort();
    }
    const Clock::time_point deviceDone = Clock::now();
    floor.Run();
    const Clock::time_point floorDone = Clock::now();
    channel += Seconds(start, channelDone);
    single += Seconds(channelDone, deviceDone);
    pingPong += Seconds(deviceDone, floorDone);
  }
  CloseHandle(device);
  const double n = static_cast<double>(state.iterations());
  state.counters["channel_us"] = channel / n * 1e6;
  state.counters["device_us"] = single / n * 1e6;
  state.counters["ping_pong_us"] = pingPong / n * 1e6;
  state.counters["channel_per_s"] = n / channel;
  state.counters["device_per_s"] = n / single;
  state.counters["ping_pong_per_s"] = n / pingPong;
  state.counters["channel_vs_floor"] = channel / pingPong;
  state.counters["device_vs_floor"] = single / pingPong;
}
BENCHMARK(BM_DriverRequests)->Iterations(1000)->Repetitions(3)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
