// Grid configurations: the table and the columns of each named search grid, written in the
// outline script syntax (see docs/widgets.md).
#pragma once

#include <string_view>

namespace hrzcfg {

// The script of a grid configuration (name compared without regard to case), or null.
const char* GridConfigScript(std::string_view name);

}  // namespace hrzcfg
