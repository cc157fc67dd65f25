#include "hrzcommon/cfg_file.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "hrzcommon/text.h"

namespace hrz {
namespace {

constexpr std::size_t kInflateStep = 5120;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The output grows geometrically so that a large file costs linear, not quadratic, copying.
bool InflateRaw(std::string_view data, std::string* text) {
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  std::string out(std::max<std::size_t>(data.size() * 4, kInflateStep), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.total_out == out.size()) {
      if (out.size() >= static_cast<std::size_t>(kCfgInflatedMaxBytes)) break;
      out.resize(std::min<std::size_t>(out.size() * 2, kCfgInflatedMaxBytes));
    }
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + stream.total_out);
    stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
    status = inflate(&stream, Z_NO_FLUSH);
  }
  out.resize(stream.total_out);
  inflateEnd(&stream);
  if (status != Z_STREAM_END) return false;  // corrupt, truncated or too large
  *text = std::move(out);
  return true;
}

bool DeflateRaw(std::string_view text, std::string* data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return false;
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return false;
  *data = std::move(out);
  return true;
}

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
  return InflateRaw(data, text);
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
