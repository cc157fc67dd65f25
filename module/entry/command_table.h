// The command names HRZCmd accepts, in the order they are compared.
#pragma once

#include <span>

#include "entry/commands.h"

namespace hrz {

struct CommandEntry {
  const char* name;
  CommandFunc run;
};

std::span<const CommandEntry> CommandTable();

// The function a code-20 call runs: while the capture flag is set, the capture dialog for
// any non-null name (and the flag is cleared); else the first table entry whose name
// matches without regard to case; null when nothing runs.
CommandFunc ResolveCommand(const char* command);

}  // namespace hrz
