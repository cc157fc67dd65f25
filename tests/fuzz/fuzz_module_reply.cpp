// Reads arbitrary reply bytes the way the module's request functions do: fields within
// bounds and 32-bit values, never past the bytes received.
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
  hrz::ReplyReader reader(reply.data(), static_cast<int>(reply.size()));
  const auto* begin = reinterpret_cast<const char*>(reply.data());
  std::size_t consumed = 0;
  for (int i = 0; i < 64; ++i) {
    std::string_view field;
    std::int32_t value = 0;
    bool ok = false;
    switch ((mode + i) % 3) {
      case 0:
        ok = reader.NextField(&field, mode % 5, 259);
        if (ok && (field.size() < mode % 5u || field.size() > 259)) __builtin_trap();
        break;
      case 1:
        ok = reader.NextInt32(&value);
        if (ok) field = std::string_view(begin + consumed + 2, 4);
        break;
      default:
        ok = reader.NextField(&field, 0, 8192);
        break;
    }
    if (!ok) break;
    // Every field read lies inside the reply, right after the previous one.
    if (field.data() != begin + consumed + 2 || consumed + 2 + field.size() > reply.size()) {
      __builtin_trap();
    }
    consumed += 2 + field.size();
  }
  return 0;
}
