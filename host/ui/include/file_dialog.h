// CFileDialog: the file-open dialog with a filter written "label|pattern|...||", over the
// platform's GetOpenFileNameA (and so answered by the automation when one is installed).
#pragma once

#include <string>

#include "cwnd.h"
#include "platform_ui.h"

class CFileDialog {
 public:
  // Only opening is supported (openFileDialog must be TRUE); defaultExt and fileName may be
  // null; flags are OFN_ flags.
  CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
              DWORD flags = 0, const char* filter = nullptr, CWnd* parent = nullptr);

  // IDOK with the chosen path, or IDCANCEL.
  INT_PTR DoModal();
  std::string GetPathName() const { return path_; }
  // The name after the last "/", and the text after its last ".".
  std::string GetFileName() const;
  std::string GetFileExt() const;

 private:
  bool open_;
  std::string defaultExt_;
  std::string filter_;  // "\0"-separated, ended by an extra "\0"
  DWORD flags_;
  CWnd* parent_;
  std::string path_;
};
