#include "hrzcommon/raw_deflate.h"

#include <zlib.h>

#include <algorithm>

namespace hrz {
namespace {

constexpr std::size_t kInflateStep = 5120;

}  // namespace

// The output grows geometrically so that a large file costs linear, not quadratic, copying.
bool InflateRaw(std::string_view data, std::size_t maxBytes, std::string* text) {
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  // One byte beyond the limit tells a stream that is too large from one that fills it.
  const std::size_t room = maxBytes + 1;
  std::string out(std::min(std::max<std::size_t>(data.size() * 4, kInflateStep), room), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.total_out == out.size()) {
      if (out.size() >= room) break;
      out.resize(std::min<std::size_t>(out.size() * 2, room));
    }
    stream.next_out = reinterpret_cast<Bytef*>(out.data() + stream.total_out);
    stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
    status = inflate(&stream, Z_NO_FLUSH);
  }
  out.resize(stream.total_out);
  inflateEnd(&stream);
  if (status != Z_STREAM_END || out.size() > maxBytes) return false;  // corrupt, cut or too large
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

}  // namespace hrz
