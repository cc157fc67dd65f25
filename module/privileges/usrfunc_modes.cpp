#include "privileges/usrfunc_modes.h"

#include "hrzcommon/text.h"

namespace hrz {

PvgEditorMode ModeOfCommand(const char* command) {
  const char* name = command != nullptr ? command : "";
  if (EqualsNoCase(name, "KQFLOWUSER")) return PvgEditorMode::kFlowUsers;
  if (EqualsNoCase(name, "KQWFUSER")) return PvgEditorMode::kOutgoingFiles;
  if (EqualsNoCase(name, "XPRFLWCHK")) return PvgEditorMode::kFlowCheck;
  return PvgEditorMode::kAllPrivileges;
}

bool IsRestricted(PvgEditorMode mode) {
  return mode != PvgEditorMode::kAllPrivileges;
}

const char* CodesOfMode(PvgEditorMode mode) {
  switch (mode) {
    case PvgEditorMode::kFlowUsers:
      return "KQDECRPT,KQCHECK,KQDNDEC,KQWAIFA,KQWFCHK,KQWFDOWN";
    case PvgEditorMode::kOutgoingFiles:
      return "KQBRWS";
    case PvgEditorMode::kFlowCheck:
      return "XPRFLWCHK,XPRFLWRLS";
    case PvgEditorMode::kAllPrivileges:
      break;
  }
  return "";
}

}  // namespace hrz
