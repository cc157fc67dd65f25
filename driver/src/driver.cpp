#include "hrzkrnd/driver.h"

#include <fnmatch.h>

#include <algorithm>

#include "hrzcommon/krn_socket.h"
#include "hrzcommon/text.h"
#include "hrzcommon/wire.h"

namespace hrzkrnd {
namespace {

namespace krn = hrz::krn;

const char* OperationName(std::uint32_t code) {
  switch (code) {
    case krn::kProbe:
      return "probe";
    case krn::kRegister:
      return "register";
    case krn::kUnregisterRemove:
      return "unregister-remove";
    case krn::kUnregisterKeep:
      return "unregister-keep";
    case krn::kCheckFileName:
      return "check-file-name";
    case krn::kControl20:
      return "control-20";
    case krn::kControl21:
      return "control-21";
    case krn::kSetValue:
      return "set-value";
    default:
      return nullptr;
  }
}

bool IsProcessRequest(std::uint32_t code) {
  return code == krn::kRegister || code == krn::kUnregisterRemove || code == krn::kUnregisterKeep ||
         code == krn::kControl20 || code == krn::kControl21;
}

std::string StatusText(std::uint32_t status) {
  switch (status) {
    case krn::kStatusOk:
      return "ok";
    case krn::kStatusInvalidFunction:
      return "unknown control code";
    case krn::kStatusAccessDenied:
      return "refused";
    case krn::kStatusInvalidParameter:
      return "malformed request";
    case krn::kStatusInsufficientBuffer:
      return "reply buffer too small";
    case krn::kStatusNotFound:
      return "not registered";
    default:
      return "status " + std::to_string(status);
  }
}

// Quotes and control characters escaped, so that a name cannot forge a line of the log.
std::string Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string DescribeRequest(const Request& request) {
  std::string line = request.device + " ";
  const char* operation = OperationName(request.code);
  line += operation != nullptr ? operation : "code " + std::to_string(request.code);
  if (IsProcessRequest(request.code)) line += " value=" + std::to_string(request.value);
  if (!request.text.empty()) line += " " + Quoted(request.text);
  return line + " -> " + StatusText(request.status);
}

Driver::Driver(DriverOptions options, LogSink log)
    : options_(std::move(options)), log_(std::move(log)) {}

Driver::Answer Driver::Handle(std::string_view device, std::uint32_t code,
                              std::span<const std::uint8_t> input, std::uint32_t capacity) {
  Request seen{std::string(device), code, 0, {}, krn::kStatusOk};
  Answer answer;
  std::lock_guard lock(mutex_);
  if (code == krn::kProbe) {
    if (capacity < krn::kProbeReplySize) {
      seen.status = krn::kStatusInsufficientBuffer;
    } else {
      answer.bytes.resize(krn::kProbeReplySize);
      hrz::wire::WriteInt32(answer.bytes.data(), static_cast<std::int32_t>(options_.probeAnswer));
    }
  } else {
    seen.status = Serve(device, code, input, &seen);
    if (seen.status == krn::kStatusOk && capacity < options_.replySize) {
      seen.status = krn::kStatusInsufficientBuffer;
    } else if (seen.status == krn::kStatusOk) {
      answer.bytes = krn::EncodeMarkerReply(options_.replySize, options_.replyMarker);
    }
  }
  answer.status = seen.status;
  Note(std::move(seen));
  return answer;
}

// The answer to a request other than the probe. Caller holds mutex_.
std::uint32_t Driver::Serve(std::string_view device, std::uint32_t code,
                            std::span<const std::uint8_t> input, Request* seen) {
  if (OperationName(code) == nullptr) return krn::kStatusInvalidFunction;
  if (!krn::StartsWithMarker(input)) return krn::kStatusAccessDenied;
  std::u16string text;
  if (IsProcessRequest(code)) {
    if (!krn::DecodeProcessRequest(input, &seen->value, &text)) {
      return krn::kStatusInvalidParameter;
    }
  } else if (!krn::DecodeTextRequest(input, &text)) {
    return krn::kStatusInvalidParameter;
  }
  seen->text = hrz::Utf16ToUtf8(text);
  const Registration entry{seen->value, seen->text};
  auto& registered = registered_[std::string(device)];
  switch (code) {
    case krn::kRegister:
      if (std::find(registered.begin(), registered.end(), entry) == registered.end()) {
        registered.push_back(entry);
      }
      return krn::kStatusOk;
    case krn::kUnregisterRemove:
    case krn::kUnregisterKeep: {
      // What removal means to a real driver lies outside; here both end the registration.
      auto it = std::find(registered.begin(), registered.end(), entry);
      if (it == registered.end()) return krn::kStatusNotFound;
      registered.erase(it);
      return krn::kStatusOk;
    }
    case krn::kCheckFileName:
      for (const std::string& pattern : options_.refusedNames) {
        if (::fnmatch(pattern.c_str(), seen->text.c_str(), 0) == 0) {
          return krn::kStatusAccessDenied;
        }
      }
      return krn::kStatusOk;
    default:  // controls 20 and 21, set-value: accepted and noted
      return krn::kStatusOk;
  }
}

// Caller holds mutex_.
void Driver::Note(Request request) {
  if (log_) log_(DescribeRequest(request));
  if (requests_.size() == kKeptRequests) requests_.pop_front();
  requests_.push_back(std::move(request));
}

std::vector<Registration> Driver::Registered(std::string_view device) const {
  std::lock_guard lock(mutex_);
  auto it = registered_.find(device);
  return it != registered_.end() ? it->second : std::vector<Registration>();
}

std::vector<Request> Driver::Requests() const {
  std::lock_guard lock(mutex_);
  return {requests_.begin(), requests_.end()};
}

}  // namespace hrzkrnd
