#include "screenshots.h"

#include <QImage>

#include "cool_dialog.h"
#include "platform_ui.h"

namespace hrzhost {

void ScreenshotAutomation::OnDialogInit(CCoolDialog& dialog) {
  hrz::DialogDriver driver(dialog);
  std::string file = folder_ + "/" + name_;
  if (depth_ > 0) file += "-" + std::to_string(driver.TemplateId());
  file += ".png";
  ++depth_;
  // A scripted action (the logon) may still run after the picture is taken.
  QImage picture = driver.Grab();
  (picture.save(QString::fromStdString(file), "PNG") ? written_ : failed_).push_back(file);
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
