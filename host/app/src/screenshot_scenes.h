// The scenes of the screenshot run: the module's dialogs shown at work on the sample
// organisation, beyond the state they open in.
#pragma once

#include <string>

#include "screenshots.h"

namespace hrzhost {

class HostBridge;
class MainWindow;

// The user manager ("XUSRMAN"): a user's record with the tree opened down to it, the grid
// after a search, a new user's form, and the department IP dialog and machine picker of the
// record pane. Each scene is one picture.
void AddUserManagerScenes(ScreenshotAutomation& automation);
// The online statistics ("XUSERS_STAT") with the whole organisation listed while two sample
// users are logged on from clients of their own to the store at location.
void AddStatisticsScenes(ScreenshotAutomation& automation, const std::string& location);

// The privilege editor in its four modes, each on a sample record with own and inherited
// marks, the message area naming where an inherited one comes from; the catalogue entry
// dialog as New Pvg opens it; the per-user endpoint column of "KQFLOWUSER" and "KQWFUSER"
// ("<command>-column.png"), and the limits dialog opened from it with a pair typed
// ("kqwfuser-typed.png").
void AddPrivilegeEditorScenes(ScreenshotAutomation& automation);
// The decrypt applications dialog, as the decrypt-flow column of the privilege editor opens
// it: the sample policy's tree with some applications chosen ("-decryptapps.png").
void AddDecryptAppsScenes(ScreenshotAutomation& automation);
// The capture of a menu command, after the commands have run: the editor arms it, and the
// host's next command opens the registration dialog ("addfnpvg-menu.png"), which is then
// cancelled.
void ShowCommandCapture(MainWindow& window, ScreenshotAutomation& automation);
// The decrypt-flow applications typed as free text, as a host whose "kqflow" / "dec ext"
// text is "true" offers them: carol's cell in "KQFLOWUSER" opens the dialog
// ("kqflowuser-text-149.png"), shown again with a list typed ("kqflowuser-text-apps.png"),
// then cancelled.
void ShowFreeTextApplications(MainWindow& window, HostBridge& bridge,
                              ScreenshotAutomation& automation);

// The change password dialog and the user manager on alice's record once more, in German
// ("xchgpwd-de.png", "xusrman-de.png", "xusrman-de-user.png"); the language chosen before is
// restored afterwards.
void ShowInGerman(MainWindow& window, ScreenshotAutomation& automation);

}  // namespace hrzhost
