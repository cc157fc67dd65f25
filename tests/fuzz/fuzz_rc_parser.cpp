// Parses arbitrary text as a resource script beside two headers it may include: the input is
// split at its first two zero bytes into the script "dialogs/main.rc", "dialogs/a.h" and
// "b.h". An error or a script, never a crash, and a refused script leaves what was parsed
// before untouched.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dialog_template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Copies, so that reading past a file's text is caught by the sanitizer.
  std::array<std::string, 3> parts;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::size_t end = i + 1 < parts.size() ? input.find('\0') : std::string_view::npos;
    parts[i] = std::string(input.substr(0, end));
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
  }
  const hrz::ScriptFiles files = {
      {"dialogs/main.rc", parts[0]}, {"dialogs/a.h", parts[1]}, {"b.h", parts[2]}};
  hrz::ResourceScript script;
  script.icons[1] = "kept.png";
  std::string error;
  if (!hrz::ParseResourceScript(files, "dialogs/main.rc", &script, &error)) {
    if (error.empty() || script.icons.size() != 1 || !script.dialogs.empty()) __builtin_trap();
  }
  return 0;
}
