#include "entry/usrmancfg.h"

#include <sys/stat.h>

#include <cstring>

#include "entry/module_state.h"
#include "entry/requests.h"
#include "hrzcommon/text.h"
#include "platform.h"
#include "xclidb.h"

namespace hrz {
namespace {

constexpr std::size_t kNameMax = 256;
constexpr std::size_t kValueMax = 1024;
constexpr std::size_t kLogonValueBuffer = 512;

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// The part of a name after its prefix ("prefix,Name" or "prefix;Name"), blanks skipped.
std::string_view WithoutPrefix(std::string_view name) {
  std::size_t cut = name.find(',');
  if (cut == std::string_view::npos) cut = name.find(';');
  if (cut == std::string_view::npos) return name;
  return TrimBlanks(name.substr(cut + 1));
}

}  // namespace

std::unique_ptr<char[]> LoadCfgFile(const char* path, int* compressed) {
  if (compressed != nullptr) *compressed = 0;
  std::string text;
  bool deflated = false;
  if (!LoadCfgText(path, &text, &deflated)) return nullptr;
  if (compressed != nullptr) *compressed = deflated ? 1 : 0;
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

void ForEachCfgLine(std::string_view text, const CfgLineFunc& onLine) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || IsLineEnd(text[pos]))) {
      ++pos;
    }
    std::size_t end = pos;
    while (end < text.size() && !IsLineEnd(text[end])) ++end;
    std::string_view line = text.substr(pos, end - pos);
    pos = end;
    if (std::size_t comment = line.find("//"); comment != std::string_view::npos) {
      line = line.substr(0, comment);
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = line.substr(0, equals);
    std::string_view value = line.substr(equals + 1);
    if (name.empty() || name.size() > kNameMax || value.empty() || value.size() > kValueMax) {
      continue;
    }
    name = TrimBlanks(name);
    value = TrimBlanks(value);
    if (name.empty() || value.empty()) continue;
    if (!onLine(name, value)) return;
  }
}

void ReadLogonSettings(const char* path, char* lastServer, char* computerNameLogon) {
  if (lastServer != nullptr) lastServer[0] = '\0';
  if (computerNameLogon != nullptr) computerNameLogon[0] = '\0';
  std::unique_ptr<char[]> text = LoadCfgFile(path, nullptr);
  if (!text) return;
  ForEachCfgLine(text.get(), [&](std::string_view name, std::string_view value) {
    std::string_view bare = WithoutPrefix(name);
    if (EqualsNoCase(bare, "LastServer") && lastServer != nullptr) {
      CopyBounded(lastServer, kLogonValueBuffer, value);
    } else if (EqualsNoCase(bare, "ComputerNameLogon") && computerNameLogon != nullptr) {
      CopyBounded(computerNameLogon, kLogonValueBuffer, value);
    }
    return true;
  });
}

long long CfgFileSize(const char* path) {
  struct stat info {};
  if (path == nullptr || ::stat(path, &info) != 0) return -1;
  return static_cast<long long>(info.st_size);
}

int TempPathOfFile(char* out, const char* file) {
  char folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder || file == nullptr) {
    if (out != nullptr) out[0] = '\0';
    return 0;
  }
  std::string_view name(file);
  if (std::size_t slash = name.find_last_of("\\/"); slash != std::string_view::npos) {
    name.remove_prefix(slash + 1);
  }
  std::string path(folder, length);
  if (path.back() != '/' && path.back() != '\\') path += '/';
  path += name;
  if (out != nullptr) CopyBounded(out, MAX_PATH, path);
  if (path.size() >= MAX_PATH) return 0;
  return CfgFileSize(path.c_str()) >= 1 ? 1 : 0;
}

int ServerPathOfFile(char* out, const char* name) {
  if (out == nullptr) return 0;
  out[0] = '\0';
  char folder[MAX_PATH] = {};
  if (name == nullptr || !XCliDB_GetServerPath(Module().db, folder)) return 0;
  std::string path(folder);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return CopyBounded(out, MAX_PATH, path) ? 1 : 0;
}

int DownloadServerFile(const char* name) {
  char serverPath[MAX_PATH];
  char localPath[MAX_PATH];
  std::string serverName;
  if (!ServerPathOfFile(serverPath, name)) return 0;
  TempPathOfFile(localPath, name);
  if (localPath[0] == '\0' || !DownloadNameRequest(Module().db, serverPath, &serverName)) {
    return 0;
  }
  return XCliDB_GetFile(Module().db, 0, serverName.c_str(), localPath, 0, 0, 0, 0, 0, 0);
}

}  // namespace hrz
