#include <QApplication>
#include <QFileDialog>
#include <QStringList>

#include <cstring>
#include <string>
#include <vector>

#include "platform_automation.h"
#include "platform_ui.h"
#include "qt_handle.h"

namespace {

// "label\0pattern\0label\0pattern\0\0" as its parts.
std::vector<std::string> FilterParts(const char* filter) {
  std::vector<std::string> parts;
  if (filter == nullptr) return parts;
  for (const char* p = filter; *p != '\0'; p += std::strlen(p) + 1) parts.emplace_back(p);
  return parts;
}

std::string JoinParts(const std::vector<std::string>& parts) {
  std::string joined;
  for (const auto& part : parts) joined += (joined.empty() ? "" : "|") + part;
  return joined;
}

QStringList QtFilters(const std::vector<std::string>& parts) {
  QStringList filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = QString::fromUtf8(parts[i + 1]).replace(';', ' ');
    filters << QString::fromUtf8(parts[i]) + " (" + patterns + ")";
  }
  return filters;
}

BOOL StorePath(const std::string& path, OPENFILENAMEA* request) {
  if (path.empty() || path.size() + 1 > request->nMaxFile) return FALSE;
  std::memcpy(request->lpstrFile, path.c_str(), path.size() + 1);
  return TRUE;
}

}  // namespace

BOOL GetOpenFileNameA(OPENFILENAMEA* request) {
  if (request == nullptr || request->lpstrFile == nullptr || request->nMaxFile == 0) return FALSE;
  std::vector<std::string> parts = FilterParts(request->lpstrFilter);
  const char* title = request->lpstrTitle != nullptr ? request->lpstrTitle : "Open";
  const char* dir = request->lpstrInitialDir != nullptr ? request->lpstrInitialDir : "";
  if (hrz::PlatformAutomation* automation = hrz::GetPlatformAutomation()) {
    std::string path;
    hrz::FileDialogCall call{request->hwndOwner, title, JoinParts(parts), dir, request->Flags};
    return automation->AnswerFileDialog(call, &path) ? StorePath(path, request) : FALSE;
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return FALSE;
  QFileDialog dialog(WidgetFromHwnd(request->hwndOwner), QString::fromUtf8(title),
                     QString::fromUtf8(dir));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode((request->Flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                               : QFileDialog::AnyFile);
  QStringList filters = QtFilters(parts);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    int index = static_cast<int>(request->nFilterIndex) - 1;
    if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
  }
  if (request->lpstrDefExt != nullptr) dialog.setDefaultSuffix(request->lpstrDefExt);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return FALSE;
  return StorePath(dialog.selectedFiles().first().toStdString(), request);
}
