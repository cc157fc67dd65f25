// Record forms on the sample organisation: layouts, showing, editing, the changed-field
// test, configuration items, buttons and LIKE patterns.
#include "xrecobjctrl.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>
#include <string>

#include "support/stores.h"

namespace {

constexpr int kAlice = 308;

QWidget* Wnd(const XRecObjCtrl& form, const char* name) {
  CWnd* wnd = form.GetCtrlWnd(form.GetCtrlCfgNode(name));
  return wnd != nullptr ? wnd->GetWidget() : nullptr;
}

class XRecObjCtrlTest : public hrztest::SampleStoreTest {
 protected:
  void SetUp() override {
    SampleStoreTest::SetUp();
    form_.SetDB(db());
    form_.GetWidget()->resize(500, 700);
  }
  bool ShowUser(int nid) {
    const char* tables[] = {"UUSR", "UUSRBM"};
    const int nids[] = {nid, -1};
    return form_.ShowRec(tables, nids, 2, 1, 0);
  }
  QLineEdit* Edit(const char* name) { return qobject_cast<QLineEdit*>(Wnd(form_, name)); }
  // Types into a field as a user would: the field is marked modified.
  void Type(const char* name, const char* text) {
    QLineEdit* edit = Edit(name);
    ASSERT_NE(edit, nullptr) << name;
    edit->setText(text);
    edit->setModified(true);
  }
  std::string Field(const char* field) {
    char text[256];
    return form_.GetTextByOrgFld(field, text, sizeof text) ? text : "<none>";
  }

  XUpdateRecObjCtrl form_;
};

TEST_F(XRecObjCtrlTest, EveryRecordLayoutNamesTheFieldsTheEditorUses) {
  const char* user[] = {"CCODE",    "CNAME",      "NSTAT",    "CPWD",     "RE_CPWD",
                        "CLGNIP",   "CLGNMAC",    "CPWDRULE", "NPWDDAYS", "DMODIPWD",
                        "XNEWCODE", "BTNPWDRULE", "BTNLGNMAC"};
  const char* userShown[] = {"NTRYLGN", "DTRYLGNTM", "DCRTE", "DMODI"};
  const char* dept[] = {"CCODE", "CNAME", "CLGNIP", "CPWDRULE", "XNEWCODE", "BTNPWDRULE"};
  for (const char* layout : {"UUSR", "UUSR New", "UDEPT", "UDEPT New", "UROLE", "UROLE New"}) {
    SCOPED_TRACE(layout);
    ASSERT_TRUE(form_.InitCtrls(layout)) << form_.LastError();
    EXPECT_STREQ(form_.GetCurrentObj(), layout);
    EXPECT_TRUE(form_.BBOM_TableExisted());
    EXPECT_STREQ(form_.GetLinkTable(), "UUSRBM");
    bool isUser = std::string(layout).rfind("UUSR", 0) == 0;
    bool isNew = std::string(layout).find("New") != std::string::npos;
    for (const char* name : isUser ? std::vector<const char*>(std::begin(user), std::end(user))
                                   : std::vector<const char*>(std::begin(dept), std::end(dept))) {
      EXPECT_GT(form_.GetCtrlCfgNode(name), 0) << name;
    }
    if (isUser && !isNew) {
      for (const char* name : userShown) EXPECT_GT(form_.GetCtrlCfgNode(name), 0) << name;
    }
    if (!isUser && !isNew) {
      EXPECT_GT(form_.GetCtrlCfgNode("BTNDEPTIP"), 0);
    }
  }
  EXPECT_FALSE(form_.InitCtrls("NOSUCH"));
  EXPECT_STREQ(form_.GetCurrentObj(), "UROLE New");
}

TEST_F(XRecObjCtrlTest, ShowsARecordWithTheStateAsItsDisplayText) {
  ASSERT_TRUE(form_.InitCtrls("UUSR"));
  ASSERT_TRUE(ShowUser(kAlice));
  EXPECT_EQ(Field("UUSR.CCODE"), "alice");
  EXPECT_EQ(Field("UUSR.CNAME"), "Alice Archer");
  EXPECT_EQ(Field("UUSR.NSTAT"), "Normal");
  EXPECT_EQ(form_.GetShowRecNID("UUSR"), kAlice);
  EXPECT_EQ(form_.GetShowRecNID("uusrbm"), -1);
  EXPECT_EQ(form_.GetShowRecNID("OTHER"), -1);
  EXPECT_TRUE(ShowUser(313));  // frank, deleted
  EXPECT_EQ(Field("UUSR.NSTAT"), "Deleted");
  EXPECT_FALSE(ShowUser(99999));
  ASSERT_TRUE(form_.ClearRec(TRUE));
  EXPECT_EQ(Field("UUSR.CCODE"), "");
  EXPECT_EQ(form_.GetShowRecNID("UUSR"), -1);
  const char* tables[] = {"UUSR", "UUSRBM"};
  const int nids[] = {77, 78};
  form_.SetShowRecNID(tables, nids, 2);
  EXPECT_EQ(form_.GetShowRecNID("UUSRBM"), 78);
}

TEST_F(XRecObjCtrlTest, ChangedFieldsIgnoreLetterCaseAndFieldsNeverSaved) {
  ASSERT_TRUE(form_.InitCtrls("UUSR"));
  ASSERT_TRUE(ShowUser(kAlice));
  EXPECT_TRUE(form_.GetChangedNodes(1).empty());
  Type("CNAME", "ALICE ARCHER");  // only the letter case differs
  Type("CLGNIP", "  ");           // blanks only: as empty as before
  EXPECT_TRUE(form_.GetChangedNodes(1).empty());
  Type("CNAME", "Alice Archer-Smith");
  Type("DCRTE", "20991231");  // shown only, never saved
  Type("CPWD", "secret");     // bound to no field
  EXPECT_EQ(form_.GetChangedNodes(1), std::vector<int>{form_.GetCtrlCfgNode("CNAME")});
  std::string loaded;
  ASSERT_TRUE(form_.GetLoadedText(form_.GetCtrlCfgNode("CNAME"), &loaded));
  EXPECT_EQ(loaded, "Alice Archer");
  EXPECT_FALSE(form_.GetLoadedText(form_.GetCtrlCfgNode("CPWD"), &loaded));
  EXPECT_TRUE(form_.IsCtrlModified(form_.GetCtrlCfgNode("CNAME")));
  form_.SetCtrlsModify(FALSE);
  EXPECT_FALSE(form_.IsCtrlModified(form_.GetCtrlCfgNode("CNAME")));
  // A new record: every bound field that holds text counts.
  ASSERT_TRUE(form_.InitCtrls("UUSR New"));
  form_.ClearRec(TRUE);
  EXPECT_TRUE(form_.GetChangedNodes(2).empty());
  Type("CCODE", "zoe");
  EXPECT_EQ(form_.GetChangedNodes(2), std::vector<int>{form_.GetCtrlCfgNode("CCODE")});
}

TEST_F(XRecObjCtrlTest, ConfigurationItemsDescribeEachField) {
  ASSERT_TRUE(form_.InitCtrls("UUSR"));
  int code = form_.GetCtrlCfgNodeFromOrgFldName("UUSR.CCODE");
  ASSERT_EQ(code, form_.GetCtrlCfgNode("ccode"));
  EXPECT_STREQ(form_.GetCtrlKind(code), "edit");
  EXPECT_STREQ(form_.GetCtrlName(code), "CCODE");
  EXPECT_STREQ(form_.GetCtrlLabel(code), "Code");
  EXPECT_STREQ(form_.GetCtrlKind(form_.GetCtrlCfgNode("NSTAT")), "combo");
  EXPECT_EQ(form_.GetCtrlName(0), nullptr);
  unsigned char bytes[4];
  ASSERT_EQ(form_.GetCtrlCfgData(code, XCTRLCFG_REQUIRED, bytes, 4), 4);
  EXPECT_NE(bytes[2], 0);
  ASSERT_EQ(form_.GetCtrlCfgData(code, XCTRLCFG_EDITABLE, bytes, 4), 4);
  EXPECT_NE(bytes[2], 0);
  ASSERT_EQ(form_.GetCtrlCfgData(form_.GetCtrlCfgNode("CPWDRULE"), XCTRLCFG_EDITABLE, bytes, 4), 4);
  EXPECT_EQ(bytes[2], 0);
  XCtrlFieldItem item;
  ASSERT_EQ(form_.GetCtrlCfgData(code, XCTRLCFG_FIELD, &item, sizeof item), int(sizeof item));
  EXPECT_STREQ(item.field, "UUSR.CCODE");
  EXPECT_NE(item.typeCode, XFIELD_TYPE_NOT_SAVED);
  ASSERT_GT(form_.GetCtrlCfgData(form_.GetCtrlCfgNode("DMODI"), XCTRLCFG_FIELD, &item, sizeof item),
            0);
  EXPECT_EQ(item.typeCode, XFIELD_TYPE_NOT_SAVED);
  EXPECT_EQ(form_.GetCtrlCfgData(code, 11, bytes, 4), 0);
  EXPECT_EQ(form_.GetCtrlCfgData(code, XCTRLCFG_FIELD, bytes, 4), 0);  // too small
  EXPECT_EQ(form_.GetCtrlCfgData(0, XCTRLCFG_EDITABLE, bytes, 4), 0);
  EXPECT_EQ(form_.GetCtrlCfgNode("NOSUCH"), -1);
  EXPECT_EQ(form_.GetCtrlCfgNodeFromOrgFldName(""), -1);

  ASSERT_TRUE(form_.SetCtrlReadOnly(code, TRUE));
  EXPECT_TRUE(Edit("CCODE")->isReadOnly());
  EXPECT_EQ(qobject_cast<QLineEdit*>(Edit("CPWD"))->echoMode(), QLineEdit::Password);
  auto* state = qobject_cast<QComboBox*>(Wnd(form_, "NSTAT"));
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->count(), 2);
}

TEST_F(XRecObjCtrlTest, ALayoutScriptPlacesControlsByTheirAttachments) {
  const char* script =
      "1, object, pwd_rule_opts, pwd_rule_opts\r\n"
      "1.1, control, check box, CHK_LGNCHGPWD\r\n"
      "1.1.1, visible, true\r\n1.1.1, left left, 10\r\n1.1.1, top top, 10\r\n"
      "1.1.1, right right, -10\r\n1.1.1, height, 60\r\n"
      "1.1.1, value, Change at next logon, please\r\n"
      "1.1, control, check box, CHK_PWDCAPS\r\n"
      "1.1.1, visible, true\r\n1.1.1, left left, 10\r\n1.1.1, top bottom, 20, CHK_LGNCHGPWD\r\n"
      "1.1.1, right right, -10\r\n1.1.1, height, 60\r\n1.1.1, value, Capitals\r\n";
  ASSERT_TRUE(form_.LoadLayoutScript(script)) << form_.LastError();
  EXPECT_EQ(form_.GetCtrlCount(), 2);
  EXPECT_FALSE(form_.BBOM_TableExisted());
  auto* first = qobject_cast<QCheckBox*>(form_.GetCtrlWnd(1)->GetWidget());
  auto* second = qobject_cast<QCheckBox*>(Wnd(form_, "CHK_PWDCAPS"));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->text(), "Change at next logon, please");
  // Tenths of a millimetre at 96 dots per inch: 10 is 4 pixels, 20 is 8 and 60 is 23.
  ASSERT_EQ(form_.GetWidget()->logicalDpiY(), 96);
  EXPECT_EQ(first->geometry(), QRect(4, 4, 492, 23));
  EXPECT_EQ(second->geometry(), QRect(4, 35, 492, 23));
  EXPECT_EQ(first->objectName(), "CHK_LGNCHGPWD");
  // A broken script leaves the form as it was and says where it broke.
  EXPECT_FALSE(form_.LoadLayoutScript("1, object, x\n1.1.1, visible, true\n"));
  EXPECT_NE(form_.LastError().find("line 2"), std::string::npos);
  EXPECT_FALSE(form_.LoadLayoutScript("1, object, x\n1.1, control, slider, S\n"));
  EXPECT_EQ(form_.GetCtrlCount(), 2);
}

TEST_F(XRecObjCtrlTest, TextsByFieldCheckBoxesAndEnterMovesOn) {
  ASSERT_TRUE(form_.InitCtrls("UUSR"));
  ASSERT_TRUE(ShowUser(kAlice));
  ASSERT_TRUE(form_.SetTextByOrgFld("UUSR.CLGNMAC", "all"));
  EXPECT_EQ(Field("UUSR.CLGNMAC"), "all");
  EXPECT_FALSE(form_.SetTextByOrgFld("UUSR.NOSUCH", "x"));
  char small[4];
  ASSERT_TRUE(form_.GetTextByOrgFld("UUSR.CNAME", small, sizeof small));
  EXPECT_STREQ(small, "Ali");
  // Enter in a field moves on to the next field that takes typing.
  QWidget* page = form_.GetWidget();
  page->show();
  page->activateWindow();
  QApplication::setActiveWindow(page);
  ASSERT_TRUE(form_.SetFirstCtrlAsFocus());
  EXPECT_EQ(page->focusWidget(), Edit("CCODE"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(Edit("CCODE"), &enter);
  EXPECT_EQ(page->focusWidget(), Wnd(form_, "XNEWCODE"));
  MSG other;
  other.message = WM_KEYDOWN;
  other.wParam = VK_ESCAPE;
  EXPECT_FALSE(form_.PreTranslateMessage(&other));
}

// A form that records the buttons pressed in it.
class ButtonForm : public XShowRecObjCtrl {
 public:
  std::string pressed;

 protected:
  int ButtonMessage(const char* name, int node) override {
    pressed = name;
    return node;
  }
};

TEST_F(XRecObjCtrlTest, ButtonsReachButtonMessageAndNewCodeProposesAFreeCode) {
  ButtonForm form;
  form.SetDB(db());
  ASSERT_TRUE(form.InitCtrls("UUSR"));
  auto* button = qobject_cast<QPushButton*>(Wnd(form, "BTNLGNMAC"));
  ASSERT_NE(button, nullptr);
  button->click();
  EXPECT_EQ(form.pressed, "BTNLGNMAC");

  HRZCmdFunc entry = XRecObjCtrl::LoadButtonLib("XNEWCODE");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(XRecObjCtrl::LoadButtonLib("NOSUCH"), nullptr);
  void* params[] = {db()};
  char buffer[256] = "UUSR";
  ASSERT_EQ(entry(20, "XNEWCODE", params, buffer), 1);
  EXPECT_STREQ(buffer, "U00319");  // after the highest NID, 318
  Exec("insert into UUSR(NID, CCODE, CSRC) values (400, 'U00401', 'UUSRI')");
  std::strcpy(buffer, "UUSR");
  ASSERT_EQ(entry(20, "XNEWCODE", params, buffer), 1);
  EXPECT_STREQ(buffer, "U00402");  // U00401 is taken
  std::strcpy(buffer, "UUSR; drop");
  EXPECT_EQ(entry(20, "XNEWCODE", params, buffer), 0);
}

TEST(XWhereRecObjCtrlTest, WordsBecomeLikePatterns) {
  struct Case {
    const char* word;
    int capacity;
    bool ok;
    const char* pattern;
  };
  const Case cases[] = {{"ali", 256, true, "%ali%"},   {"al*", 256, true, "al%"},
                        {"a?ice", 256, true, "a_ice"}, {"", 256, true, "%%"},
                        {"100%", 256, true, "100%"},   {"abcd", 6, false, "abcd"},
                        {"abc", 6, true, "%abc%"}};
  for (const Case& c : cases) {
    char word[256];
    std::strcpy(word, c.word);
    EXPECT_EQ(XWhereRecObjCtrl::AddWildCharForLike(nullptr, word, 0, c.capacity) != 0, c.ok)
        << c.word;
    EXPECT_STREQ(word, c.pattern);
  }
}

}  // namespace
