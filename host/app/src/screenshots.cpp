#include "screenshots.h"

#include <QWidget>

#include "cool_dialog.h"
#include "platform_ui.h"
#include "window_frame.h"

namespace hrzhost {

void ScreenshotAutomation::OnDialogInit(CCoolDialog& dialog) {
  hrz::DialogDriver driver(dialog);
  std::string file = folder_ + "/" + name_;
  if (depth_ > 0) file += "-" + std::to_string(driver.TemplateId());
  file += ".png";
  ++depth_;
  // A scripted action (the logon) may still run after the picture is taken.
  QWidget* window = dialog.GetWidget();
  bool saved =
      window != nullptr && FramedPicture(*window).save(QString::fromStdString(file), "PNG");
  (saved ? written_ : failed_).push_back(file);
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
