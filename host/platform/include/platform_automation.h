// The seam through which a test (or the desktop client's screenshot mode) answers the
// platform's prompts instead of a user. Installed by the caller; nothing answers on its
// own. UI thread only.
#pragma once

#include <string>

#include "wintypes.h"

namespace hrz {

struct MessageBoxCall {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;  // MB_* buttons and icon
};

struct FileDialogCall {
  HWND owner = nullptr;
  std::string title;
  std::string filter;  // "label|pattern|label|pattern"
  std::string initialDir;
  DWORD flags = 0;
};

struct ShellOpenCall {
  HWND owner = nullptr;
  std::string operation;
  std::string file;
  std::string parameters;
  std::string directory;
};

class PlatformAutomation {
 public:
  virtual ~PlatformAutomation() = default;
  // The button the user chooses (IDOK, IDCANCEL, IDYES, IDNO).
  virtual int AnswerMessageBox(const MessageBoxCall& call) = 0;
  // true and the chosen path, or false for Cancel.
  virtual bool AnswerFileDialog(const FileDialogCall& call, std::string* path) = 0;
  // Whether the file was opened.
  virtual bool AnswerShellOpen(const ShellOpenCall& call) = 0;
};

// Installs automation (null removes it); returns the one it replaces.
PlatformAutomation* SetPlatformAutomation(PlatformAutomation* automation);
PlatformAutomation* GetPlatformAutomation();

}  // namespace hrz
