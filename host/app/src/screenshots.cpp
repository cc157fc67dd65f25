#include "screenshots.h"

#include <QApplication>
#include <QWidget>

#include "cool_dialog.h"
#include "platform_ui.h"
#include "window_frame.h"

namespace hrzhost {

void ScreenshotAutomation::AddScenes(int templateId, std::vector<Scene> scenes) {
  scenes_[templateId].push_back(std::move(scenes));
}

void ScreenshotAutomation::Save(CCoolDialog& dialog, const std::string& file) {
  QApplication::processEvents();  // what a scene changed is drawn first
  QWidget* window = dialog.GetWidget();
  bool saved =
      window != nullptr && FramedPicture(*window).save(QString::fromStdString(file), "PNG");
  (saved ? written_ : failed_).push_back(file);
}

void ScreenshotAutomation::OnDialogInit(CCoolDialog& dialog) {
  hrz::DialogDriver driver(dialog);
  const std::string base = folder_ + "/" + name_;
  std::string file = base;
  if (depth_ > 0) file += "-" + std::to_string(driver.TemplateId());
  ++depth_;
  // A scripted action (the logon) may still run after the picture is taken.
  Save(dialog, file + ".png");
  auto scenes = scenes_.find(driver.TemplateId());
  if (scenes != scenes_.end() && !scenes->second.empty()) {
    std::vector<Scene> played = std::move(scenes->second.front());
    scenes->second.pop_front();
    for (const Scene& scene : played) {
      scene.act(driver);
      Save(dialog, base + "-" + scene.suffix + ".png");
    }
  }
  ScriptedAutomation::OnDialogInit(dialog);
}

int ScreenshotAutomation::AnswerMessageBox(const hrz::MessageBoxCall& call) {
  ScriptedAutomation::AnswerMessageBox(call);
  const UINT buttons = call.type & MB_TYPEMASK;
  if (confirmations_ > 0 && buttons != MB_OK) {
    --confirmations_;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
  }
  switch (buttons) {
    case MB_OK:
      return IDOK;
    case MB_YESNO:
      return IDNO;
    default:
      return IDCANCEL;
  }
}

}  // namespace hrzhost
