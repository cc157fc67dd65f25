// Reads arbitrary reply bytes the way the module's request functions do: fields within
// bounds, 32-bit values and the record block's item NID, never past the bytes received.
#include <cstdint>
#include <string_view>
#include <vector>

#include "entry/request_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the bounds, the rest is the reply; copied so that reading one
  // byte too far is caught by the sanitizer.
  const std::uint8_t mode = data[0];
  std::vector<unsigned char> reply(data + 1, data + size);
  const int received = static_cast<int>(reply.size());
  hrz::ReplyReader reader(reply.data(), received);
  std::string_view field;
  std::int32_t value = 0;
  std::size_t total = 0;
  for (int i = 0; i < 64; ++i) {
    bool ok = false;
    switch ((mode + i) % 3) {
      case 0:
        ok = reader.NextField(&field, mode % 5, 259);
        if (ok) total += static_cast<unsigned char>(field.empty() ? 0 : field.back());
        break;
      case 1:
        ok = reader.NextInt32(&value);
        break;
      default:
        ok = reader.NextField(&field, 0, 8192);
        if (ok) total += field.size();
        break;
    }
    if (!ok) break;
  }
  if (received >= 192) value = hrz::Int32At(reply.data() + 133);
  // Keep the reads from being optimised away.
  static volatile std::size_t sink;
  sink = total + static_cast<std::size_t>(value);
  return 0;
}
