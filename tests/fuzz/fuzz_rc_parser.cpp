// Parses arbitrary text as a resource script: an error or a script, never a crash, and a
// refused script leaves what was parsed before untouched.
#include <cstdint>
#include <string>
#include <string_view>

#include "dialog_template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy, so that reading one byte past the text is caught by the sanitizer.
  std::string text(reinterpret_cast<const char*>(data), size);
  hrz::ResourceScript script;
  script.icons[1] = "kept.png";
  std::string error;
  if (!hrz::ParseResourceScript(std::string_view(text.data(), text.size()), &script, &error)) {
    if (error.empty() || script.icons.size() != 1 || !script.dialogs.empty()) __builtin_trap();
  }
  return 0;
}
