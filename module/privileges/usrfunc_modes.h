// The four ways the privilege editor opens. A restricted mode shows only its own catalogue
// rows, as a plain yes/no right stored as "M"; the other rows keep their marks.
#pragma once

namespace hrz {

enum class PvgEditorMode {
  kAllPrivileges,  // "XUSRFUNC", and any name the table does not know
  kFlowUsers,      // "KQFLOWUSER"
  kOutgoingFiles,  // "KQWFUSER"
  kFlowCheck,      // "XPRFLWCHK"
};

// The mode of a command name, compared without regard to case.
PvgEditorMode ModeOfCommand(const char* command);
bool IsRestricted(PvgEditorMode mode);
// The codes of the rows the mode shows, separated by ","; "" for every row.
const char* CodesOfMode(PvgEditorMode mode);

}  // namespace hrz
