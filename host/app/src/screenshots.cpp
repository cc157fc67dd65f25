#include "screenshots.h"

#include <QApplication>
#include <QWidget>

#include "cool_dialog.h"
#include "platform_ui.h"
#include "window_frame.h"

namespace hrzhost {

void ScreenshotAutomation::AddScenes(int templateId, std::vector<Scene> scenes) {
  scenes_[templateId] = std::move(scenes);
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
  if (scenes != scenes_.end()) {
    std::vector<Scene> played = std::move(scenes->second);
    scenes_.erase(scenes);
    for (const Scene& scene : played) {
      scene.act(driver);
      Save(dialog, base + "-" + scene.suffix + ".png");
    }
  }
  ScriptedAutomation::OnDialogInit(dialog);
}

int ScreenshotAutomation::AnswerMessageBox(const hrz::MessageBoxCall& call) {
  ScriptedAutomation::AnswerMessageBox(call);
  switch (call.type & MB_TYPEMASK) {
    case MB_OK:
      return IDOK;
    case MB_YESNO:
      return IDNO;
    default:
      return IDCANCEL;
  }
}

}  // namespace hrzhost
