#include <gtest/gtest.h>

#include <QLineEdit>

#include "automation.h"
#include "cool_dialog.h"
#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "extension_module.h"
#include "resources.h"
#include "ui/qt_app.h"

namespace hrz {
namespace {

// The module registers its embedded templates and icons at attach, under its own handle.
TEST(ModuleResources, AttachRegistersTheTemplatesAndDetachRemovesThem) {
  test::App();
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(0xabc0);
  ASSERT_TRUE(ModuleAttach(instance));
  {
    ModuleResourceScope scope;
    const DialogTemplate* chgpwd = FindDialogTemplate(101);
    ASSERT_NE(chgpwd, nullptr);
    EXPECT_NE(AfxLoadIcon(130), nullptr);
    for (int id :
         {132, 133, 134, 135, 137, 138, 139, 140, 141, 142, 143, 144, 145, 149, 1012, 1116}) {
      EXPECT_NE(FindDialogTemplate(id), nullptr) << id;
    }
    EXPECT_NE(FindBitmap(134), nullptr);
    EXPECT_EQ(FindDialogTemplate(4242), nullptr);

    ScriptedAutomation automation;
    automation.OnDialog(101, [](DialogDriver& d) {
      for (int id : {1007, 1005, 1004}) {
        auto* edit = qobject_cast<QLineEdit*>(d.Dialog().GetDlgItem(id)->GetWidget());
        ASSERT_NE(edit, nullptr) << id;
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password) << id;
        EXPECT_TRUE(d.SetText(id, "secret"));
      }
      EXPECT_FALSE(d.IsVisible(1031));
      for (int id : {1055, 1056, 1057, IDOK, IDCANCEL}) EXPECT_TRUE(d.IsVisible(id)) << id;
      EXPECT_TRUE(d.Click(IDCANCEL));
    });
    AutomationScope installed(&automation);
    CCoolDialog dialog(101);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(automation.Dialogs(), std::vector<int>{101});
  }
  ModuleDetach();
  AfxSetResourceHandle(instance);
  EXPECT_EQ(FindDialogTemplate(101), nullptr) << "gone with the module";
  AfxSetResourceHandle(nullptr);
  Module() = ModuleState{};
}

}  // namespace
}  // namespace hrz
