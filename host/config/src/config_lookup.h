// Finds a named script; names compare without regard to letter case.
#pragma once

#include <strings.h>
#include <string_view>

namespace hrzcfg {

struct NamedScript {
  const char* name;
  const char* script;
};

inline bool SameNameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

template <size_t N>
const char* FindScript(const NamedScript (&table)[N], std::string_view name) {
  for (const NamedScript& entry : table) {
    if (SameNameNoCase(entry.name, name)) return entry.script;
  }
  return nullptr;
}

}  // namespace hrzcfg
