#include "locations.h"
#include "hrzcommon/text.h"

#include <cctype>
#include <optional>

#include "connection.h"
#include "server_trust.h"

namespace hrzdb {
namespace {

constexpr std::string_view kTlsScheme = "tcp://";
constexpr std::string_view kPlainScheme = "tcp+plain://";

// "AB:CD:..." with 32 pairs of upper-case hex digits.
bool IsFingerprint(std::string_view text) {
  if (text.size() != 32 * 3 - 1) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool separator = i % 3 == 2;
    const char c = text[i];
    if (separator ? c != ':'
                  : !(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

std::unique_ptr<Transport> OpenTls(const std::string& hostPort, std::string* error) {
  ServerCheck check;
  check.caFile = CaFile();
  if (check.caFile.empty()) {
    std::optional<std::string> pinned = PinnedFingerprint(hostPort);
    if (!pinned) {
      // Reached without a check only to name the certificate in the refusal.
      if (OpenTlsTransport(hostPort, &check, error)) {
        *error = "the certificate of " + hostPort + " (SHA-256 " + check.fingerprint +
                 ") has not been accepted yet; the logon dialog asks on first contact";
      }
      return nullptr;
    }
    check.pinned = *pinned;
  }
  std::unique_ptr<Transport> transport = OpenTlsTransport(hostPort, &check, error);
  if (!transport && !check.pinned.empty() && !check.fingerprint.empty() &&
      check.fingerprint != check.pinned) {
    *error += ". If the server's key was replaced on purpose, remove the line of " + hostPort +
              " from " + KnownServersFile() + " and accept the new certificate";
  }
  return transport;
}

// host:port as a pin may name it: one word, nothing that could start another line.
bool IsPinnableServer(std::string_view hostPort) {
  if (hostPort.empty()) return false;
  for (char c : hostPort) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '#') return false;
  }
  return true;
}

}  // namespace

Location ParseLocation(std::string_view text) {
  if (text.starts_with(kTlsScheme))
    return {Location::kTls, std::string(text.substr(kTlsScheme.size()))};
  if (text.starts_with(kPlainScheme)) {
    return {Location::kPlain, std::string(text.substr(kPlainScheme.size()))};
  }
  return {Location::kFile, std::string(text)};
}

std::unique_ptr<Transport> OpenLocation(const Location& location, std::string* error) {
  switch (location.kind) {
    case Location::kTls:
      return OpenTls(location.target, error);
    case Location::kPlain:
      return OpenPlainTransport(location.target, error);
    case Location::kFile:
      break;
  }
  return OpenEmbeddedTransport(location.target, error);
}

}  // namespace hrzdb

using namespace hrzdb;

int XCliDB_CheckServer(const char* location, char* fingerprint, char* pinned, char* error,
                       int errorCapacity) {
  auto fail = [&](const std::string& why) {
    if (error != nullptr && errorCapacity > 0) hrz::CopyBounded(error, errorCapacity, why);
    return 0;
  };
  if (fingerprint != nullptr) fingerprint[0] = '\0';
  if (pinned != nullptr) pinned[0] = '\0';
  if (location == nullptr || *location == '\0') return fail("no location given");
  const Location where = ParseLocation(location);
  if (where.kind != Location::kTls) return XCLI_SERVER_LOCAL;
  ServerCheck check;
  check.caFile = CaFile();
  std::string reason;
  if (!OpenTlsTransport(where.target, &check, &reason)) return fail(reason);
  if (fingerprint != nullptr)
    hrz::CopyBounded(fingerprint, XCLI_FINGERPRINT_SIZE, check.fingerprint);
  if (!check.caFile.empty()) return XCLI_SERVER_TRUSTED;
  const std::optional<std::string> pin = PinnedFingerprint(where.target);
  if (!pin) return XCLI_SERVER_NEW;
  if (pinned != nullptr) hrz::CopyBounded(pinned, XCLI_FINGERPRINT_SIZE, *pin);
  return *pin == check.fingerprint ? XCLI_SERVER_TRUSTED : XCLI_SERVER_CHANGED;
}

int XCliDB_PinServer(const char* location, const char* fingerprint, char* error,
                     int errorCapacity) {
  std::string reason;
  const Location where = ParseLocation(location != nullptr ? location : "");
  if (where.kind != Location::kTls || !IsPinnableServer(where.target)) {
    reason = "only tcp://HOST:PORT locations have certificates to pin";
  } else if (fingerprint == nullptr || !IsFingerprint(fingerprint)) {
    reason = "not a SHA-256 fingerprint";
  } else if (Pin(where.target, fingerprint, &reason)) {
    return 1;
  }
  if (error != nullptr && errorCapacity > 0) hrz::CopyBounded(error, errorCapacity, reason);
  return 0;
}
