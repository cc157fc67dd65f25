#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include <string>

#include "automation.h"
#include "cool_dialog.h"
#include "extension_module.h"
#include "resources.h"
#include "support/qt_app.h"
#include "tips.h"
#include "vert_split_wnd.h"
#include "xctrl_host.h"
#include "xrecobjctrl.h"

namespace hrz {
namespace {

constexpr char kScript[] = R"(
300 DIALOGEX 0, 0, 240, 140
CAPTION "Controls"
FONT 9, "MS Shell Dlg"
BEGIN
  EDITTEXT 1001, 8, 8, 80, 14
  COMBOBOX 1002, 8, 26, 80, 60, CBS_DROPDOWN | CBS_SORT
  AUTOCHECKBOX "Three", 1003, 8, 44, 60, 10, BS_AUTO3STATE
  CONTROL "", 1004, "msctls_progress32", 0, 8, 58, 80, 8
  LTEXT "Label", 1005, 8, 70, 80, 20
  PUSHBUTTON "Colours", 1006, 8, 94, 50, 14
  CONTROL "", 1010, "Static", SS_BLACKFRAME, 100, 8, 60, 100
  CONTROL "", 1011, "Static", SS_BLACKFRAME, 170, 8, 60, 100
  CONTROL "", 1012, "Static", SS_BLACKFRAME | NOT WS_VISIBLE, 100, 112, 60, 20
END
)";

constexpr COLORREF kNoticeColor = RGB(255, 40, 40);

// A dialog whose test body runs inside its modal loop, as a module's handlers do.
class ProbeDialog : public CCoolDialog {
 public:
  ProbeDialog() : CCoolDialog(300) {}

  std::string notice;
  QEventLoop* timerLoop = nullptr;
  int timerCalls = 0;

  void OnPaint(CDC& dc) override {
    if (notice.empty()) return;
    CRect area;
    GetDlgItem(1012)->GetWindowRect(&area);
    ScreenToClient(&area);
    CFont font;
    font.CreatePointFont(100, "MS San Serif");
    CFont* old = dc.SelectObject(&font);
    dc.SetTextColor(kNoticeColor);
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText(notice.c_str(), area, DT_LEFT | DT_WORDBREAK);
    dc.SelectObject(old);
  }
  void OnTimer(UINT_PTR id) override {
    ++timerCalls;
    KillTimer(id);
    if (timerLoop != nullptr) timerLoop->quit();
  }
};

// A control with items, standing in for a tree or grid hosted in a container.
class ItemsCtrl : public CWnd {
 public:
  explicit ItemsCtrl(QWidget* widget) { Attach(widget); }
  bool AutomationSelect(int index) override {
    if (index < 0 || index >= 3) return false;
    selected = index;
    return true;
  }
  bool AutomationActivate(int index) override {
    activated = index;
    return true;
  }
  int AutomationSelection() const override { return selected; }
  int selected = -1;
  int activated = -1;
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hrztest::App();
    HrzResourceFile file{"c.rc", reinterpret_cast<const unsigned char*>(kScript),
                         sizeof(kScript) - 1};
    std::string error;
    ASSERT_TRUE(AfxRegisterModuleResources(Module(), &file, 1, &error)) << error;
    saved_ = AfxGetResourceHandle();
    AfxSetResourceHandle(Module());
  }
  void TearDown() override {
    AfxSetResourceHandle(saved_);
    AfxUnregisterModuleResources(Module());
  }
  static HINSTANCE Module() { return reinterpret_cast<HINSTANCE>(0xc0de); }

  // Runs body inside the dialog's modal loop.
  void Run(ProbeDialog& dialog, const std::function<void(DialogDriver&)>& body) {
    automation_.OnDialog(300, body);
    AutomationScope scope(&automation_);
    dialog.DoModal();
  }

  ScriptedAutomation automation_;
  HINSTANCE saved_ = nullptr;
};

TEST_F(ControlsTest, EditLimitStopsTypingButNotTheProgram) {
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    auto* edit = dynamic_cast<CCoolEdit*>(d.Dialog().GetDlgItem(1001));
    ASSERT_NE(edit, nullptr);
    edit->LimitText(4);
    EXPECT_EQ(edit->GetLimitText(), 4);
    QTest::keyClicks(edit->GetWidget(), "abcdef");
    EXPECT_EQ(edit->GetWindowText(), "abcd");
    EXPECT_TRUE(edit->GetModify()) << "typed by the user";
    edit->SetWindowText("longer text");
    EXPECT_EQ(edit->GetWindowText(), "longer text");
    EXPECT_FALSE(edit->GetModify()) << "setting the text clears the modified flag";
    char small[6];
    EXPECT_EQ(edit->GetWindowText(small, sizeof(small)), 5);
    EXPECT_STREQ(small, "longe");

    // The limit counts characters: four of four bytes each (two UTF-16 units) fit.
    edit->SetWindowText("");
    auto* line = qobject_cast<QLineEdit*>(edit->GetWidget());
    const QString clef = QString::fromUtf8("\xf0\x9d\x84\x9e");
    for (int i = 0; i < 5; ++i) line->insert(clef);
    EXPECT_EQ(line->text(), clef.repeated(4));
  });
}

TEST_F(ControlsTest, EditLimitKeepsWhatFitsOfAPaste) {
  const QString clef = QString::fromUtf8("\xf0\x9d\x84\x9e");  // two UTF-16 units
  struct Case {
    QString start;
    int selectFrom, selectLength;  // the cursor alone when the length is 0
    QString pasted;
    QString result;
  };
  const Case cases[] = {
      {"", 0, 0, "abcdefgh", "abcdef"},
      {"ab", 1, 0, "XYZWV", "aXYZWb"},
      {"abcd", 1, 2, "1234567", "a1234d"},
      {"abcdef", 0, 6, "0123456789", "012345"},
      {"abcdef", 6, 0, "x", "abcdef"},
      {"", 0, 0, clef.repeated(7), clef.repeated(6)},
      {"abcde", 5, 0, clef + "x", "abcde" + clef},
  };
  ProbeDialog dialog;
  Run(dialog, [&](DialogDriver& d) {
    auto* edit = dynamic_cast<CCoolEdit*>(d.Dialog().GetDlgItem(1001));
    ASSERT_NE(edit, nullptr);
    auto* line = qobject_cast<QLineEdit*>(edit->GetWidget());
    edit->LimitText(6);
    for (const Case& c : cases) {
      line->setText(c.start);
      if (c.selectLength > 0) {
        line->setSelection(c.selectFrom, c.selectLength);
      } else {
        line->setCursorPosition(c.selectFrom);
      }
      line->insert(c.pasted);  // what the edit's paste does with the clipboard's text
      EXPECT_EQ(line->text(), c.result) << c.start.toStdString() << " + " << c.pasted.toStdString();
      EXPECT_EQ(edit->GetModify() != FALSE, c.result != c.start)
          << "a cut paste is still the user's change: " << c.pasted.toStdString();
    }

    // Text of the program beyond the limit takes nothing more, but may be shortened.
    edit->SetWindowText("longer text");
    line->end(false);
    line->insert("x");
    EXPECT_EQ(edit->GetWindowText(), "longer text");
    QTest::keyClick(line, Qt::Key_Backspace);
    EXPECT_EQ(edit->GetWindowText(), "longer tex");

    auto* combo = dynamic_cast<CCoolComboBox*>(d.Dialog().GetDlgItem(1002));
    ASSERT_NE(combo, nullptr);
    combo->LimitText(3);
    EXPECT_TRUE(d.Paste(1002, "abcdef"));
    EXPECT_EQ(combo->GetWindowText(), "abc");
  });
}

TEST_F(ControlsTest, ComboBoxKeepsSortedItemsAndItsSelection) {
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    auto* combo = dynamic_cast<CCoolComboBox*>(d.Dialog().GetDlgItem(1002));
    ASSERT_NE(combo, nullptr);
    combo->SetWindowText("typed");
    EXPECT_EQ(combo->AddString("pear"), 0);
    EXPECT_EQ(combo->AddString("Apple"), 0);
    EXPECT_EQ(combo->AddString("banana"), 1);
    EXPECT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetCurSel(), CB_ERR) << "adding selects nothing";
    EXPECT_EQ(combo->GetWindowText(), "typed") << "adding keeps the edited text";
    EXPECT_EQ(combo->FindStringExact(-1, "BANANA"), 1);
    EXPECT_EQ(combo->FindStringExact(-1, "ban"), CB_ERR);
    EXPECT_EQ(combo->SetItemData(2, 77), 0);
    EXPECT_EQ(combo->GetItemData(2), 77u);
    EXPECT_EQ(combo->SetCurSel(5), CB_ERR);
    EXPECT_EQ(combo->SetCurSel(2), 2);
    EXPECT_EQ(combo->GetWindowText(), "pear");
    combo->SetWindowText("pe");
    EXPECT_EQ(combo->GetCurSel(), CB_ERR) << "edited away from the chosen item";
    EXPECT_EQ(combo->SelectString(-1, "BA"), 1);
    char buffer[4];
    EXPECT_EQ(combo->GetLBText(1, buffer, sizeof(buffer)), 3);
    EXPECT_STREQ(buffer, "ban");
    EXPECT_EQ(combo->DeleteString(0), 2);
    EXPECT_EQ(combo->GetLBText(0), "banana");
    combo->ResetContent();
    EXPECT_EQ(combo->GetCount(), 0);
  });
}

TEST_F(ControlsTest, CheckBoxProgressLabelAndButtonStates) {
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    CCoolDialog& dlg = d.Dialog();
    auto* check = dynamic_cast<CCoolCheckBox*>(dlg.GetDlgItem(1003));
    ASSERT_NE(check, nullptr);
    check->SetCheck(BST_INDETERMINATE);
    EXPECT_EQ(check->GetCheck(), BST_INDETERMINATE);
    EXPECT_TRUE(d.SetCheck(1003, BST_UNCHECKED));

    auto* progress = dynamic_cast<CCoolProgress*>(dlg.GetDlgItem(1004));
    ASSERT_NE(progress, nullptr);
    progress->SetRange(0, 20);
    EXPECT_EQ(progress->GetPos(), 0);
    progress->SetStep(8);
    EXPECT_EQ(progress->StepIt(), 0);
    EXPECT_EQ(progress->StepIt(), 8);
    EXPECT_EQ(progress->GetPos(), 16);
    progress->StepIt();
    EXPECT_EQ(progress->GetPos(), 4) << "stepping past the end starts over";
    EXPECT_EQ(progress->SetPos(50), 4);
    EXPECT_EQ(progress->GetPos(), 20);

    auto* label = dynamic_cast<CCoolLabel*>(dlg.GetDlgItem(1005));
    ASSERT_NE(label, nullptr);
    label->SetTextFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    auto* qlabel = qobject_cast<QLabel*>(label->GetWidget());
    EXPECT_EQ(qlabel->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    EXPECT_FALSE(qlabel->wordWrap());
    label->SetTextFormat(20);  // word break, vertically centred
    EXPECT_EQ(qlabel->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_TRUE(qlabel->wordWrap());
    EXPECT_EQ(label->GetTextFormat(), 20u);

    auto* button = dynamic_cast<CCoolButton*>(dlg.GetDlgItem(1006));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetTextColor(), 0u);
    button->SetTextColors(255, 255, 255, 255, 255);
    EXPECT_EQ(button->GetTextColor(), 255u);
    EXPECT_TRUE(button->GetWidget()->styleSheet().contains("#ff0000"));
  });
}

TEST_F(ControlsTest, AMemberStandsForItsControlWhileItLives) {
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    CCoolDialog& dlg = d.Dialog();
    CWnd* own = dlg.GetDlgItem(1001);
    {
      CCoolMaskEdit member;
      ASSERT_TRUE(member.SubclassDlgItem(1001, &dlg));
      EXPECT_EQ(dlg.GetDlgItem(1001), &member);
      member.SetMaskType(1);
      EXPECT_EQ(member.GetMaskType(), 1);
      EXPECT_FALSE(member.SubclassDlgItem(4242, &dlg));
    }
    EXPECT_EQ(dlg.GetDlgItem(1001), own);
    EXPECT_EQ(dynamic_cast<CCoolMaskEdit*>(own)->GetMaskType(), 1) << "the state is the control's";
  });
}

TEST_F(ControlsTest, ControlsCreatedAtRunTimeNotifyTheDialog) {
  struct Dialog : ProbeDialog {
    Dialog() { MapCommand(1020, &Dialog::OnExtra); }
    void OnExtra() { ++clicks; }
    int clicks = 0;
    CCoolCheckBox extra;
  } dialog;
  Run(dialog, [&dialog](DialogDriver& d) {
    ASSERT_TRUE(dialog.extra.Create("Extra", BS_AUTOCHECKBOX | WS_CHILD | WS_VISIBLE,
                                    CRect(10, 200, 150, 220), &d.Dialog(), 1020));
    EXPECT_TRUE(d.SetCheck(1020, BST_CHECKED));
    EXPECT_EQ(dialog.clicks, 1);
    EXPECT_EQ(dialog.extra.GetCheck(), BST_CHECKED);
    EXPECT_EQ(dialog.extra.GetDlgCtrlID(), 1020);
  });
}

TEST_F(ControlsTest, PaintingDrawsIntoTheHiddenNoticeArea) {
  ProbeDialog dialog;
  dialog.notice = "Your password has expired";
  Run(dialog, [](DialogDriver& d) {
    CRect area;
    d.Dialog().GetDlgItem(1012)->GetWindowRect(&area);
    d.Dialog().ScreenToClient(&area);
    QImage picture = d.Grab();
    int red = 0;
    int redOutside = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        QColor c = picture.pixelColor(x, y);
        if (c.red() > 200 && c.green() < 120 && c.blue() < 120) {
          (area.PtInRect(POINT{x, y}) ? red : redOutside)++;
        }
      }
    }
    EXPECT_GT(red, 20) << "the notice is painted in red";
    EXPECT_EQ(redOutside, 0) << "and only inside its area";
  });
}

TEST_F(ControlsTest, TimersReachOnTimer) {
  ProbeDialog dialog;
  Run(dialog, [&dialog](DialogDriver& d) {
    QEventLoop loop;
    dialog.timerLoop = &loop;
    ASSERT_EQ(d.Dialog().SetTimer(7, 0), 7u);
    loop.exec();  // left by OnTimer
    EXPECT_EQ(dialog.timerCalls, 1);
    EXPECT_FALSE(d.Dialog().KillTimer(7)) << "OnTimer killed it";
  });
}

TEST_F(ControlsTest, ContainersHostAControlAndPassItsItemsToTheAutomation) {
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    CCoolDialog& dlg = d.Dialog();
    XCtrlContainer container;
    ASSERT_TRUE(container.CreateOver(WS_CHILD | WS_VISIBLE, &dlg, 1010, 1050));
    EXPECT_FALSE(d.IsVisible(1010)) << "the placeholder gives way";
    CRect placeholder;
    dlg.GetDlgItem(1010)->GetWindowRect(&placeholder);
    CRect hosted;
    container.GetWindowRect(&hosted);
    EXPECT_EQ(hosted, placeholder);

    ItemsCtrl items(new QWidget(dlg.GetWidget()));
    container.SetXCtrl(&items);
    EXPECT_EQ(container.GetXCtrl(), &items);
    EXPECT_EQ(items.GetWidget()->parentWidget(), container.GetWidget());
    container.MoveWindow(CRect(0, 0, 90, 70));
    EXPECT_EQ(items.GetWidget()->size(), QSize(90, 70)) << "the control follows the container";

    EXPECT_TRUE(d.Select(1050, 2));
    EXPECT_EQ(d.Selection(1050), 2);
    EXPECT_FALSE(d.Select(1050, 3));
    EXPECT_TRUE(d.Activate(1050, 1));
    EXPECT_EQ(items.activated, 1);
    container.ShowWindow(SW_HIDE_WINDOW);
    EXPECT_FALSE(d.Select(1050, 0)) << "a hidden control cannot be used";
  });
}

TEST_F(ControlsTest, SplitterMovesPaneEdgesWithinTheirMinimumWidths) {
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    CCoolDialog& dlg = d.Dialog();
    QRect left = dlg.GetDlgItem(1010)->GetWidget()->geometry();
    QRect right = dlg.GetDlgItem(1011)->GetWidget()->geometry();
    int barLeft = left.right() + 3;
    CVertSplitWnd bar;
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE,
                           CRect(barLeft, left.top(), barLeft + 4, left.bottom() + 1), &dlg, 1060));
    ASSERT_TRUE(bar.AttachAsLeftPane(1010));
    ASSERT_TRUE(bar.AttachAsRightPane(1011));
    EXPECT_FALSE(bar.AttachAsLeftPane(4242));
    bar.SetMinWidth(20, 30);

    bar.MoveBarTo(barLeft + 10);
    QRect movedLeft = dlg.GetDlgItem(1010)->GetWidget()->geometry();
    QRect movedRight = dlg.GetDlgItem(1011)->GetWidget()->geometry();
    EXPECT_EQ(movedLeft.width(), left.width() + 10);
    EXPECT_EQ(movedRight.left(), right.left() + 10);
    EXPECT_EQ(movedRight.right(), right.right()) << "the far edges stay";

    bar.MoveBarTo(0);
    EXPECT_EQ(dlg.GetDlgItem(1010)->GetWidget()->width(), 20) << "left minimum";
    bar.MoveBarTo(10000);
    EXPECT_EQ(dlg.GetDlgItem(1011)->GetWidget()->width(), 30) << "right minimum";

    bar.Unbind();
    bar.MoveBarTo(barLeft);
    EXPECT_EQ(dlg.GetDlgItem(1011)->GetWidget()->width(), 30) << "unbound panes stay";
  });
}

TEST_F(ControlsTest, TipsShowTheirTextAndHideOnRequest) {
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    CCoolToolTip tip;
    ASSERT_TRUE(tip.Create(&d.Dialog()));
    EXPECT_FALSE(tip.IsShown());
    tip.ShowMe(d.Dialog().GetDlgItem(1006), "Saved", 0);
    EXPECT_TRUE(tip.IsShown());
    EXPECT_EQ(tip.GetTipText(), "Saved");
    tip.HideMe();
    EXPECT_FALSE(tip.IsShown());

    CBitmapBalloonTip balloon;
    ASSERT_TRUE(balloon.Create(&d.Dialog(), 999));  // no such bitmap: text only
    balloon.ShowMe(d.Dialog().GetDlgItem(1001), "New user here");
    EXPECT_TRUE(balloon.IsShown());
    balloon.HideMe();
    EXPECT_FALSE(balloon.IsShown());
    balloon.ShowMe("Fill in here", POINT{120, 80}, 0);
    EXPECT_EQ(balloon.GetTipText(), "Fill in here");
    EXPECT_EQ(balloon.GetWidget()->pos(), QPoint(120, 80)) << "the point is on the screen";
  });
}

TEST_F(ControlsTest, GetFocusTellsTheFocusedControl) {
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    CWnd* edit = d.Dialog().GetDlgItem(1001);
    edit->SetFocus();
    ASSERT_NE(CWnd::GetFocus(), nullptr);
    EXPECT_EQ(CWnd::GetFocus()->GetSafeHwnd(), edit->GetSafeHwnd());
    d.Dialog().GetDlgItem(1006)->SetFocus();
    EXPECT_NE(CWnd::GetFocus()->GetSafeHwnd(), edit->GetSafeHwnd());
  });
}

// A record form in a container: its fields are reached by name, as a user reaches them.
TEST_F(ControlsTest, DriverUsesTheFieldsOfAHostedRecordForm) {
  struct Form : XShowRecObjCtrl {
    int ButtonMessage(const char* name, int) override {
      pressed = name;
      return 1;
    }
    std::string pressed;
  };
  ProbeDialog dialog;
  Run(dialog, [](DialogDriver& d) {
    XCtrlContainer box;
    ASSERT_TRUE(box.CreateOver(WS_VISIBLE, &d.Dialog(), 1010, 1020));
    Form form;
    ASSERT_TRUE(form.Create(WS_VISIBLE, CRect(0, 0, 300, 200), &box, 1021));
    ASSERT_TRUE(form.LoadLayoutScript(R"(1, object, probe, T
1.1, control, edit, NAME
1.1.1, field, T.NAME
1.1, control, edit, FIXED
1.1.1, editable, false
1.1, control, button, GO
1.1.1, label, Go
)"));
    box.SetXCtrl(&form);

    EXPECT_TRUE(d.HasField(1020, "NAME"));
    EXPECT_FALSE(d.HasField(1020, "NOSUCH"));
    EXPECT_FALSE(d.HasField(1011, "NAME")) << "only the fields inside that container";
    EXPECT_TRUE(d.SetFieldText(1020, "NAME", "Alice"));
    EXPECT_EQ(d.FieldText(1020, "NAME"), "Alice");
    EXPECT_TRUE(form.IsCtrlModified(form.GetCtrlCfgNode("NAME"))) << "typed as a user types";
    EXPECT_FALSE(d.IsFieldUsable(1020, "FIXED"));
    EXPECT_FALSE(d.SetFieldText(1020, "FIXED", "x")) << "a read-only field takes no typing";
    EXPECT_TRUE(d.IsFieldVisible(1020, "FIXED"));
    EXPECT_EQ(d.FieldText(1020, "GO"), "Go");
    EXPECT_TRUE(d.ClickField(1020, "GO"));
    EXPECT_EQ(form.pressed, "GO");
    form.SetCtrlReadOnly(form.GetCtrlCfgNode("GO"), TRUE);
    EXPECT_FALSE(d.ClickField(1020, "GO")) << "a disabled button cannot be pressed";
    box.SetXCtrl(nullptr);
  });
}

TEST_F(ControlsTest, PostedMessagesArriveAfterTheCurrentEvent) {
  struct Dialog : ProbeDialog {
    Dialog() { MapCommand(1099, &Dialog::OnPosted); }
    void OnPosted() { ++posted; }
    int posted = 0;
  } dialog;
  Run(dialog, [&dialog](DialogDriver& d) {
    d.Dialog().PostMessage(WM_COMMAND, MAKEWPARAM(1099, BN_CLICKED));
    EXPECT_EQ(dialog.posted, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.posted, 1);
    d.Dialog().PostMessage(WM_COMMAND, IDOK);
  });
  EXPECT_EQ(dialog.posted, 1);
}

}  // namespace
}  // namespace hrz
