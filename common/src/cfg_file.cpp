#include "hrzcommon/cfg_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "hrzcommon/raw_deflate.h"
#include "hrzcommon/text.h"

namespace hrz {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool IsPlainCfgText(std::string_view data) {
  return data.size() >= 6 && EqualsNoCase(data.substr(0, 6), "//TEXT");
}

bool LoadCfgText(const char* path, std::string* text, bool* compressed) {
  if (compressed != nullptr) *compressed = false;
  if (path == nullptr || text == nullptr) return false;
  File file(std::fopen(path, "rb"));
  if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size < 1 || size > kCfgFileMaxBytes || std::fseek(file.get(), 0, SEEK_SET) != 0) {
    return false;
  }
  std::string data(static_cast<std::size_t>(size), '\0');
  data.resize(std::fread(data.data(), 1, data.size(), file.get()));
  if (data.empty()) return false;
  if (IsPlainCfgText(data)) {
    *text = std::move(data);
    return true;
  }
  if (compressed != nullptr) *compressed = true;
  return InflateRaw(data, static_cast<std::size_t>(kCfgInflatedMaxBytes), text);
}

bool SaveCfgText(const char* path, std::string_view text, bool compressed) {
  if (path == nullptr) return false;
  std::string data;
  if (compressed && !DeflateRaw(text, &data)) return false;
  const std::string_view bytes = compressed ? std::string_view(data) : text;
  // Written beside the file and renamed over it, so a reader never sees half a file.
  const std::string partial = std::string(path) + ".part" + std::to_string(::getpid());
  File file(std::fopen(partial.c_str(), "wb"));
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  written = std::fclose(file.release()) == 0 && written;
  if (!written || std::rename(partial.c_str(), path) != 0) {
    std::remove(partial.c_str());
    return false;
  }
  return true;
}

}  // namespace hrz
