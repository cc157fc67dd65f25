#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <string>

#include "automation.h"
#include "cool_dialog.h"
#include "extension_module.h"
#include "file_dialog.h"
#include "platform_ui.h"
#include "resources.h"
#include "support/qt_app.h"

namespace hrz {
namespace {

constexpr char kScript[] = R"(
#define IDD_TEST 200
#define IDC_NAME 1001
IDD_TEST DIALOGEX 0, 0, 200, 100
CAPTION "Test dialog"
FONT 9, "MS Shell Dlg"
BEGIN
  LTEXT "Name", 1000, 8, 10, 40, 8
  EDITTEXT IDC_NAME, 50, 8, 100, 14, ES_AUTOHSCROLL
  EDITTEXT 1002, 50, 26, 100, 14, ES_PASSWORD
  AUTOCHECKBOX "Remember", 1003, 50, 44, 80, 10
  COMBOBOX 1004, 50, 58, 100, 60, CBS_DROPDOWNLIST | WS_VSCROLL
  PUSHBUTTON "Ask", 1005, 8, 78, 40, 14
  PUSHBUTTON "Nested", 1006, 52, 78, 40, 14
  PUSHBUTTON "Off", 1007, 96, 78, 40, 14, WS_DISABLED
  CONTROL "", 1008, "Static", SS_BLACKFRAME | NOT WS_VISIBLE, 150, 10, 40, 40
  DEFPUSHBUTTON "OK", IDOK, 140, 78, 26, 14
  PUSHBUTTON "Cancel", IDCANCEL, 170, 78, 26, 14
END
201 DIALOGEX 0, 0, 80, 40
CAPTION "Inner"
BEGIN
  PUSHBUTTON "OK", IDOK, 10, 10, 30, 14
END
)";

// A dialog as the module writes them: data exchange with a length limit, a message map,
// a question, a nested dialog and a key filter.
class TestDialog : public CCoolDialog {
 public:
  TestDialog() : CCoolDialog(200) {
    MapCommand(1005, &TestDialog::OnAsk);
    MapCommand(1006, &TestDialog::OnNested);
    MapNotify(1004, CBN_SELCHANGE, &TestDialog::OnPick);
  }

  std::string name = "initial";
  int answer = 0;
  int nestedResult = 0;
  int picks = 0;
  int enterKeys = 0;
  bool blockEnter = false;
  std::string textAtDestroy;

 protected:
  BOOL OnInitDialog() override {
    CCoolDialog::OnInitDialog();
    combo_.SubclassDlgItem(1004, this);
    combo_.AddString("first");
    combo_.AddString("second");
    return TRUE;
  }
  void OnDestroy() override { textAtDestroy = GetDlgItemText(1001); }
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, 1001, name);
    DDV_MaxChars(pDX, name, 8);
  }
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
      ++enterKeys;
      return blockEnter ? TRUE : FALSE;
    }
    return FALSE;
  }

 private:
  void OnAsk() {
    answer = MessageBoxA(GetSafeHwnd(), "Go on?", "Question", MB_OKCANCEL | MB_ICONEXCLAMATION);
  }
  void OnNested() {
    CCoolDialog inner(201, this);
    nestedResult = static_cast<int>(inner.DoModal());
  }
  void OnPick() { ++picks; }

  CCoolComboBox combo_;
};

HINSTANCE TestModule() {
  return reinterpret_cast<HINSTANCE>(0x7e57);
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hrztest::App();
    HrzResourceFile file{"test.rc", reinterpret_cast<const unsigned char*>(kScript),
                         sizeof(kScript) - 1};
    std::string error;
    ASSERT_TRUE(AfxRegisterModuleResources(TestModule(), &file, 1, &error)) << error;
    saved_ = AfxGetResourceHandle();
    AfxSetResourceHandle(TestModule());
  }
  void TearDown() override {
    AfxSetResourceHandle(saved_);
    AfxUnregisterModuleResources(TestModule());
  }

  ScriptedAutomation automation_;
  HINSTANCE saved_ = nullptr;
};

TEST_F(DialogTest, TypedTextReachesMembersOnOk) {
  TestDialog dialog;
  automation_.OnDialog(200, [](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "Test dialog");
    EXPECT_EQ(d.Text(1001), "initial") << "OnInitDialog loads the members";
    EXPECT_TRUE(d.SetText(1001, "alice"));
    EXPECT_TRUE(d.Click(IDOK));
  });
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.name, "alice");
  EXPECT_EQ(automation_.Dialogs(), std::vector<int>{200});
}

TEST_F(DialogTest, TooLongTextShowsItsNoticeAndKeepsTheDialogOpen) {
  TestDialog dialog;
  automation_.OnDialog(200, [](DialogDriver& d) {
    ASSERT_TRUE(d.SetText(1001, "ninechars"));
    EXPECT_TRUE(d.Click(IDOK));
    EXPECT_TRUE(d.Dialog().IsRunning()) << "a failed exchange does not end the dialog";
    ASSERT_TRUE(d.SetText(1001, "eight ch"));
    EXPECT_TRUE(d.Click(IDOK));
  });
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.name, "eight ch");
  ASSERT_EQ(automation_.MessageBoxes().size(), 1u);
  EXPECT_EQ(automation_.MessageBoxes()[0].text, "Enter no more than 8 characters.");
  EXPECT_EQ(automation_.MessageBoxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
}

TEST_F(DialogTest, QuestionsAreAnsweredAndRecorded) {
  TestDialog dialog;
  automation_.AnswerNextMessageBox(IDCANCEL);
  HWND window = nullptr;
  automation_.OnDialog(200, [&dialog, &window](DialogDriver& d) {
    window = d.Dialog().GetSafeHwnd();
    EXPECT_TRUE(d.Click(1005));
    EXPECT_EQ(dialog.answer, IDCANCEL);
    EXPECT_TRUE(d.Click(1005));
    EXPECT_EQ(dialog.answer, IDOK) << "with no answers left the first button is chosen";
    d.End(IDCANCEL);
  });
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  ASSERT_EQ(automation_.MessageBoxes().size(), 2u);
  EXPECT_EQ(automation_.MessageBoxes()[0].text, "Go on?");
  EXPECT_EQ(automation_.MessageBoxes()[0].caption, "Question");
  EXPECT_EQ(automation_.MessageBoxes()[0].type, MB_OKCANCEL | MB_ICONEXCLAMATION);
  EXPECT_EQ(automation_.MessageBoxes()[0].owner, window) << "owned by the dialog";
}

TEST_F(DialogTest, NestedDialogsAreDrivenInTurnAndUnscriptedOnesCancelled) {
  TestDialog dialog;
  automation_.OnDialog(200, [&dialog](DialogDriver& d) {
    EXPECT_TRUE(d.Click(1006));
    EXPECT_EQ(dialog.nestedResult, IDOK);
    EXPECT_TRUE(d.Click(1006));
    EXPECT_EQ(dialog.nestedResult, IDCANCEL) << "no script left for 201";
    d.End(IDOK);
  });
  automation_.OnDialog(201, [](DialogDriver& d) { EXPECT_TRUE(d.Click(IDOK)); });
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(automation_.Dialogs(), (std::vector<int>{200, 201, 201}));
}

TEST_F(DialogTest, DisabledAndHiddenControlsCannotBeUsed) {
  TestDialog dialog;
  automation_.OnDialog(200, [](DialogDriver& d) {
    EXPECT_FALSE(d.Click(1007));
    EXPECT_FALSE(d.IsEnabled(1007));
    EXPECT_TRUE(d.Has(1008));
    EXPECT_FALSE(d.IsVisible(1008));
    EXPECT_FALSE(d.Click(9999));
    EXPECT_FALSE(d.SetText(1000, "a label is not an edit"));
  });
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL) << "left open by the script: cancelled";
}

TEST_F(DialogTest, ChecksAndSelectionsNotifyLikeAUser) {
  TestDialog dialog;
  automation_.OnDialog(200, [&dialog](DialogDriver& d) {
    EXPECT_EQ(d.Check(1003), BST_UNCHECKED);
    EXPECT_TRUE(d.SetCheck(1003, BST_CHECKED));
    EXPECT_EQ(d.Check(1003), BST_CHECKED);
    EXPECT_EQ(d.Check(1001), -1) << "an edit has no check";
    EXPECT_EQ(d.Selection(1004), -1);
    EXPECT_TRUE(d.Select(1004, 1));
    EXPECT_EQ(d.Selection(1004), 1);
    EXPECT_EQ(d.Text(1004), "second");
    EXPECT_FALSE(d.Select(1004, 2));
    EXPECT_EQ(dialog.picks, 1);
    d.End(IDOK);
  });
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST_F(DialogTest, EnterGoesThroughPreTranslateMessageBeforeTheDefaultButton) {
  TestDialog dialog;
  dialog.blockEnter = true;
  automation_.OnDialog(200, [&dialog](DialogDriver& d) {
    EXPECT_TRUE(d.PressKey(1001, VK_RETURN));
    EXPECT_EQ(dialog.enterKeys, 1);
    EXPECT_TRUE(dialog.IsRunning()) << "the dialog kept Enter for itself";
    dialog.blockEnter = false;
    d.SetText(1001, "bob");
    EXPECT_TRUE(d.PressKey(1001, VK_RETURN));
    EXPECT_FALSE(dialog.IsRunning()) << "Enter pressed the default button";
  });
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.name, "bob");
}

TEST_F(DialogTest, EscapeCancels) {
  TestDialog dialog;
  automation_.OnDialog(200, [](DialogDriver& d) {
    d.SetText(1001, "dropped");
    d.PressKey(1001, VK_ESCAPE);
  });
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.name, "initial") << "Cancel exchanges nothing";
  EXPECT_EQ(dialog.textAtDestroy, "dropped") << "OnDestroy still sees the controls";
  EXPECT_EQ(dialog.GetDlgItem(1001), nullptr) << "after the run the window is gone";
}

TEST_F(DialogTest, ControlsAreLaidOutInDialogUnitsAndNamedByTheirIds) {
  TestDialog dialog;
  automation_.OnDialog(200, [](DialogDriver& d) {
    CCoolDialog& dlg = d.Dialog();
    RECT expected{50, 8, 150, 22};
    dlg.MapDialogRect(&expected);
    QWidget* edit = dlg.GetWidget()->findChild<QWidget*>(QStringLiteral("ctl1001"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->geometry(), QRect(expected.left, expected.top, expected.right - expected.left,
                                      expected.bottom - expected.top));
    RECT client{0, 0, 200, 100};
    dlg.MapDialogRect(&client);
    EXPECT_EQ(dlg.GetWidget()->size(), QSize(client.right, client.bottom));
    // Dialog units follow the font: 4 horizontal units are about one average character.
    EXPECT_GT(client.right, 200);
    auto* password = qobject_cast<QLineEdit*>(dlg.GetDlgItem(1002)->GetWidget());
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dlg.GetDlgItem(1003)->GetDlgCtrlID(), 1003);
  });
  AutomationScope scope(&automation_);
  dialog.DoModal();
}

TEST_F(DialogTest, AMissingTemplateCannotBeCreated) {
  CCoolDialog dialog(999);
  AutomationScope scope(&automation_);
  EXPECT_EQ(dialog.DoModal(), -1);
  AfxSetResourceHandle(nullptr);
  CCoolDialog hostDialog(200);
  EXPECT_EQ(hostDialog.DoModal(), -1) << "the module's templates are found only while current";
  EXPECT_TRUE(automation_.Dialogs().empty());
}

TEST(FileDialog, PassesItsFilterAndReturnsTheAnsweredPath) {
  ScriptedAutomation automation;
  AutomationScope scope(&automation);
  automation.AnswerNextFileDialog("/home/u/sign.v2.bmp");
  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST,
                     "Bmp Files (*.bmp)|*.bmp|All Files (*.*)|*.*||");
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetPathName(), "/home/u/sign.v2.bmp");
  EXPECT_EQ(dialog.GetFileName(), "sign.v2.bmp");
  EXPECT_EQ(dialog.GetFileExt(), "bmp");
  ASSERT_EQ(automation.FileDialogs().size(), 1u);
  EXPECT_EQ(automation.FileDialogs()[0].filter, "Bmp Files (*.bmp)|*.bmp|All Files (*.*)|*.*");
  EXPECT_EQ(automation.FileDialogs()[0].flags, OFN_FILEMUSTEXIST);

  EXPECT_EQ(dialog.DoModal(), IDCANCEL) << "no answer left: cancelled";
  EXPECT_EQ(CFileDialog(FALSE).DoModal(), IDCANCEL) << "only opening is known";
}

}  // namespace
}  // namespace hrz
