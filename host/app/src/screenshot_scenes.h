// The scenes of the screenshot run: the module's dialogs shown at work on the sample
// organisation, beyond the state they open in.
#pragma once

#include <string>

#include "screenshots.h"

namespace hrzhost {

// The user manager ("XUSRMAN"): a user's record with the tree opened down to it, the grid
// after a search, and a new user's form. Each scene is one picture.
void AddUserManagerScenes(ScreenshotAutomation& automation);
// The online statistics ("XUSERS_STAT") with the whole organisation listed while two sample
// users are logged on from clients of their own to the store at location.
void AddStatisticsScenes(ScreenshotAutomation& automation, const std::string& location);

}  // namespace hrzhost
