#include "server_trust.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace hrzdb {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string TrustFolder() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (configHome != nullptr && *configHome == '/') {
    base = configHome;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr && *home != '\0' ? home : "/tmp") / ".config";
  }
  return (base / "hrzuser").string();
}

std::string KnownServersFile() {
  return TrustFolder() + "/known_servers";
}

std::string CaFile() {
  const std::string file = TrustFolder() + "/ca.pem";
  return ::access(file.c_str(), F_OK) == 0 ? file : std::string();
}

std::optional<std::string> PinnedFingerprint(const std::string& hostPort) {
  std::ifstream in(KnownServersFile());
  const std::string wanted = Lower(hostPort);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string server, fingerprint;
    if (!(fields >> server >> fingerprint) || server.starts_with('#')) continue;
    if (Lower(server) == wanted) return fingerprint;
  }
  return std::nullopt;
}

bool Pin(const std::string& hostPort, const std::string& fingerprint, std::string* error) {
  if (std::optional<std::string> pinned = PinnedFingerprint(hostPort)) {
    if (*pinned == fingerprint) return true;
    *error = hostPort + " has another certificate pinned in " + KnownServersFile();
    return false;
  }
  const std::string folder = TrustFolder();
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  ::chmod(folder.c_str(), 0700);
  // One short append is written whole, so two clients pinning at once keep both lines.
  const int fd =
      ::open(KnownServersFile().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  const std::string line = hostPort + " " + fingerprint + "\n";
  const bool written =
      fd >= 0 && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  const int saved = errno;
  if (fd >= 0) ::close(fd);
  if (!written) *error = "cannot write " + KnownServersFile() + ": " + std::strerror(saved);
  return written;
}

}  // namespace hrzdb
