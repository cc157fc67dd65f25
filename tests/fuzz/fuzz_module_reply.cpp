// Reads arbitrary reply bytes the way the module's request functions do: fields within
// bounds, 32-bit values and long values, never past the bytes received.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "entry/request_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the bounds, the rest is the reply; copied so that reading one
  // byte too far is caught by the sanitizer.
  const std::uint8_t mode = data[0];
  std::vector<unsigned char> reply(data + 1, data + size);
  // A buffer larger than what was received: nothing past the received bytes is read.
  const int received = static_cast<int>(reply.size());
  reply.resize(reply.size() + 16, 0xff);
  hrz::wire::BodyReader reader = hrz::ReplyFields(reply, received);
  std::size_t consumed = 0;
  for (int i = 0; i < 64; ++i) {
    std::string text;
    std::int32_t value = 0;
    bool ok = false;
    switch ((mode + i) % 4) {
      case 0:
        ok = reader.NextText(&text, 259);
        if (ok && text.size() > 259) __builtin_trap();
        consumed += 2 + text.size();
        break;
      case 1:
        ok = reader.NextInt32(&value);
        consumed += 6;
        break;
      case 2: {
        std::span<const std::uint8_t> field;
        ok = reader.Next(&field);
        // Every field read lies inside the received bytes, right after the previous one.
        if (ok && (field.data() != reply.data() + consumed + 2 ||
                   consumed + 2 + field.size() > static_cast<std::size_t>(received))) {
          __builtin_trap();
        }
        consumed += 2 + field.size();
        break;
      }
      default:
        ok = reader.NextLong(&text, 4096);
        if (ok && text.size() > 4096) __builtin_trap();
        // A long value spans fields of unknown count: stop tracking positions after one.
        if (ok) return 0;
        break;
    }
    if (!ok) break;
    if (consumed > static_cast<std::size_t>(received)) __builtin_trap();
  }
  return 0;
}
