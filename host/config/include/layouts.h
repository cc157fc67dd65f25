// Record layouts: the fields and buttons of each record form, written in the outline script
// syntax (see docs/widgets.md).
#pragma once

#include <string_view>

namespace hrzcfg {

// The script of a record layout (name compared without regard to case), or null.
const char* LayoutScript(std::string_view name);

}  // namespace hrzcfg
