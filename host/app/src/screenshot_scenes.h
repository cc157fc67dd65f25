// The scenes of the screenshot run: the module's dialogs shown at work on the sample
// organisation, beyond the state they open in.
#pragma once

#include "screenshots.h"

namespace hrzhost {

// The user manager ("XUSRMAN"): a user's record with the tree opened down to it, the grid
// after a search, a new user's form, and the department IP dialog and machine picker of the
// record pane. Each scene is one picture.
void AddUserManagerScenes(ScreenshotAutomation& automation);

}  // namespace hrzhost
