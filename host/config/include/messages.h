// The host's message catalogue: the English display text of each message key (a section
// and a key) that the module asks for through the host callback. Some texts are printf
// templates of their callers ("%s" for a user code, "%d" for a count).
#pragma once

#include <string_view>

namespace hrzcfg {

// The text of section and key (both compared exactly), or null when the catalogue has none.
const char* MessageText(std::string_view section, std::string_view key);

}  // namespace hrzcfg
