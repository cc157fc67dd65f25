#include "entry/command_table.h"

#include "entry/module_state.h"
#include "hrzcommon/text.h"

namespace hrz {
namespace {

constexpr CommandEntry kCommands[] = {
    {"XCHGPWD", CmdChangePassword},        {"XCHGEXPIREDPWD", CmdChangeExpiredPassword},
    {"XUSRMAN", CmdUserManager},           {"XROLEMAN", CmdUserManager},
    {"XUSERS_STAT", CmdUserStatistics},    {"XUSRFUNC", CmdFunctionPrivileges},
    {"KQFLOWUSER", CmdFunctionPrivileges}, {"KQWFUSER", CmdFunctionPrivileges},
    {"XPRFLWCHK", CmdFunctionPrivileges},  {"XUSRINFO", CmdUserInfo},
    {"XSELUSER", CmdSelectUser},           {"XVIEWSIGN", CmdViewSignatures},
};

}  // namespace

std::span<const CommandEntry> CommandTable() {
  return kCommands;
}

CommandFunc ResolveCommand(const char* command) {
  if (command == nullptr) return nullptr;
  ModuleState& module = Module();
  if (module.captureFlag == 1) {
    module.captureFlag = 0;
    return CmdAddFunctionPrivilege;
  }
  for (const CommandEntry& entry : kCommands) {
    if (EqualsNoCase(entry.name, command)) return entry.run;
  }
  return nullptr;
}

}  // namespace hrz
