// Finds a named script; names compare without regard to letter case.
#pragma once

#include <string_view>

#include "hrzcommon/text.h"

namespace hrzcfg {

struct NamedScript {
  const char* name;
  const char* script;
};

template <size_t N>
const char* FindScript(const NamedScript (&table)[N], std::string_view name) {
  for (const NamedScript& entry : table) {
    if (hrz::EqualsNoCase(entry.name, name)) return entry.script;
  }
  return nullptr;
}

}  // namespace hrzcfg
