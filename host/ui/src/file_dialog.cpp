#include "file_dialog.h"

#include <algorithm>
#include <vector>

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, CWnd* parent)
    : open_(openFileDialog != FALSE),
      defaultExt_(defaultExt != nullptr ? defaultExt : ""),
      flags_(flags),
      parent_(parent),
      path_(fileName != nullptr ? fileName : "") {
  // "a|b|c|d||" becomes "a\0b\0c\0d\0\0": the platform's form.
  std::string text = filter != nullptr ? filter : "";
  while (!text.empty() && text.back() == '|') text.pop_back();
  for (char& c : text) {
    if (c == '|') c = '\0';
  }
  if (!text.empty()) filter_ = text + std::string(2, '\0');
}

INT_PTR CFileDialog::DoModal() {
  if (!open_) return IDCANCEL;
  std::vector<char> buffer(MAX_PATH * 4, '\0');
  path_.copy(buffer.data(), std::min(path_.size(), buffer.size() - 1));
  OPENFILENAMEA request;
  request.hwndOwner = parent_ != nullptr ? parent_->GetSafeHwnd() : nullptr;
  request.lpstrFilter = filter_.empty() ? nullptr : filter_.c_str();
  request.lpstrFile = buffer.data();
  request.nMaxFile = static_cast<DWORD>(buffer.size());
  request.Flags = flags_;
  request.lpstrDefExt = defaultExt_.empty() ? nullptr : defaultExt_.c_str();
  if (!GetOpenFileNameA(&request)) return IDCANCEL;
  path_ = buffer.data();
  return IDOK;
}

std::string CFileDialog::GetFileName() const {
  std::string::size_type slash = path_.find_last_of('/');
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

std::string CFileDialog::GetFileExt() const {
  std::string name = GetFileName();
  std::string::size_type dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}
