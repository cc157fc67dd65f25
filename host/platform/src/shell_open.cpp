#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

#include <cstdint>

#include <cstring>
#include <string>

#include "hrzcommon/text.h"
#include "platform_automation.h"
#include "platform_ui.h"

namespace {

HINSTANCE Result(std::intptr_t code) {
  return reinterpret_cast<HINSTANCE>(code);
}

constexpr std::intptr_t kOpened = 42;
constexpr std::intptr_t kFileNotFound = 2;
constexpr std::intptr_t kNoAssociation = 31;

}  // namespace

HINSTANCE ShellExecuteA(HWND owner, const char* operation, const char* file, const char* parameters,
                        const char* directory, int) {
  if (file == nullptr || *file == '\0') return Result(0);
  std::string verb = operation != nullptr ? operation : "open";
  if (!hrz::EqualsNoCase(verb, "open")) return Result(kNoAssociation);
  if (hrz::PlatformAutomation* automation = hrz::GetPlatformAutomation()) {
    hrz::ShellOpenCall call{owner, verb, file, parameters != nullptr ? parameters : "",
                            directory != nullptr ? directory : ""};
    return Result(automation->AnswerShellOpen(call) ? kOpened : kNoAssociation);
  }
  QString target = QString::fromUtf8(file);
  bool isAddress = target.contains("://");
  if (!isAddress) {
    QFileInfo info(target);
    if (info.isRelative() && directory != nullptr && *directory != '\0') {
      info = QFileInfo(QString::fromUtf8(directory) + "/" + target);
    }
    if (!info.exists()) return Result(kFileNotFound);
    target = info.absoluteFilePath();
  }
  if (QGuiApplication::instance() == nullptr) return Result(kNoAssociation);
  QUrl url = isAddress ? QUrl(target) : QUrl::fromLocalFile(target);
  return Result(QDesktopServices::openUrl(url) ? kOpened : kNoAssociation);
}
