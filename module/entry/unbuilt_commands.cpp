// The commands whose subsystems are not built yet. Each ends as a cancelled dialog would:
// it opens nothing and returns what the command returns after Cancel. A command moves to
// its subsystem's folder when its dialog arrives.
#include "entry/commands.h"
#include "entry/module_state.h"

namespace hrz {
namespace {

// Returns the command's result for a cancelled dialog.
int Unbuilt(int cancelledResult) {
  ModuleResourceScope resources;
  return cancelledResult;
}

}  // namespace

int CmdViewSignatures(const char*, char*) {
  return Unbuilt(1);
}

}  // namespace hrz
