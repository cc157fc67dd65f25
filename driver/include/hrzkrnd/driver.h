// The driver stand-in's answers, apart from any socket: it answers the probe, checks the
// marker and the layout of every request, keeps the processes registered on each device,
// accepts file names and values, and notes every request it was asked.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hrzcommon/krn_protocol.h"

namespace hrzkrnd {

// How the stand-in behaves; the defaults make a well-behaved driver, the rest stand for a
// wrong or faulty one.
struct DriverOptions {
  std::vector<std::string> devices{hrz::krn::kDeviceNames.begin(), hrz::krn::kDeviceNames.end()};
  // Check-file-name refuses the names that match one of these shell patterns (fnmatch).
  std::vector<std::string> refusedNames{};
  std::uint32_t probeAnswer = hrz::krn::kProbeAnswer;
  std::size_t replySize = hrz::krn::kReplySize;
  std::u16string replyMarker{hrz::krn::kMarker};
};

struct Registration {
  std::uint32_t value = 0;  // a process identifier, or a caller's value
  std::string name;         // UTF-8
  bool operator==(const Registration&) const = default;
};

// One request as the driver saw it and what it answered.
struct Request {
  std::string device;
  std::uint32_t code = 0;
  std::uint32_t value = 0;  // of a process request
  std::string text;         // the name of a process request or the text of a text request
  std::uint32_t status = 0;
};

// Receives one line per request, without a line end.
using LogSink = std::function<void(std::string_view line)>;

// Thread-safe: every member locks the driver's state.
class Driver {
 public:
  struct Answer {
    std::uint32_t status = 0;
    std::vector<std::uint8_t> bytes;  // never longer than the capacity asked for
  };

  explicit Driver(DriverOptions options, LogSink log = nullptr);

  const DriverOptions& options() const { return options_; }
  Answer Handle(std::string_view device, std::uint32_t code, std::span<const std::uint8_t> input,
                std::uint32_t capacity);

  std::vector<Registration> Registered(std::string_view device) const;
  // The most recent requests (up to kKeptRequests), oldest first.
  std::vector<Request> Requests() const;
  static constexpr std::size_t kKeptRequests = 4096;

 private:
  std::uint32_t Serve(std::string_view device, std::uint32_t code,
                      std::span<const std::uint8_t> input, Request* seen);
  void Note(Request request);

  const DriverOptions options_;
  const LogSink log_;
  mutable std::mutex mutex_;
  std::map<std::string, std::vector<Registration>, std::less<>> registered_;  // by device
  std::deque<Request> requests_;
};

// The text of a log line for request (device, operation, arguments, outcome).
std::string DescribeRequest(const Request& request);

}  // namespace hrzkrnd
