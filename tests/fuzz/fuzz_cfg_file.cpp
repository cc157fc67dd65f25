// Loads arbitrary bytes as a configuration file (plain or raw DEFLATE) and walks its
// setting lines, and reads them as a wrong-password reply: null or text, never a crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "entry/usrmancfg.h"
#include "passwords/pwd_try_left.h"

namespace {

std::string ScratchPath() {
  return "/tmp/fuzz_cfg_file_" + std::to_string(::getpid()) + ".xcf";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = ScratchPath();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  int compressed = -1;
  if (auto text = hrz::LoadCfgFile(path.c_str(), &compressed)) {
    if (compressed != 0 && compressed != 1) __builtin_trap();
    hrz::ForEachCfgLine(text.get(), [](std::string_view name, std::string_view value) {
      if (name.empty() || value.empty() || name.size() > 256 || value.size() > 1024) {
        __builtin_trap();
      }
      return true;
    });
  }
  // A copy, so that reading one byte past the text is caught by the sanitizer.
  const std::string reply(reinterpret_cast<const char*>(data), size);
  if (hrz::PwdTriesLeft(reply) < 0) __builtin_trap();
  return 0;
}
