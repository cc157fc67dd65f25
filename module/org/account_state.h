// The account state of the user a record pane shows: deleted, locked after too many failed
// logons today, or normal; and the caption of the manager's Delete button that follows it.
#pragma once

#include <string>

class CWnd;
class XShowRecObjCtrl;

namespace hrz {

struct ShownUser {
  int nid = -1;
  std::string code;  // trimmed, at most 127 characters
  std::string name;
};

// Deleted: the code holds "[del]", or the state field stands for 254. who (may be null)
// receives the shown NID, code and name.
bool IsShownUserDeleted(XShowRecObjCtrl& pane, ShownUser* who = nullptr);
// Locked: failed attempts today reached the server's "Lgn Err Try" (read once per process;
// 0 or missing never locks).
bool IsShownUserLocked(XShowRecObjCtrl& pane);
// Restore (red), Unlock (red) or Delete on the window's Delete button; nothing without a
// window.
void SetDeleteButtonText(XShowRecObjCtrl& pane, CWnd* window);

}  // namespace hrz
