#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "dialog_template.h"
#include "resources.h"

namespace hrz {
namespace {

namespace fs = std::filesystem;

const fs::path kResources = fs::path(HRZ_FIXTURES_DIR) / ".." / ".." / "module" / "resources";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
  for (const auto& control : dialog.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

TEST(ResourceScripts, TheModuleTemplatesParseAndNameExistingImages) {
  ResourceScript script;
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(kResources)) {
    if (entry.path().extension() != ".rc") continue;
    std::string error;
    EXPECT_TRUE(ParseResourceScript(ReadFile(entry.path()), &script, &error))
        << entry.path() << ": " << error;
    ++files;
  }
  ASSERT_GT(files, 0);
  for (const auto& [id, name] : script.icons) {
    EXPECT_TRUE(fs::exists(kResources / name)) << "icon " << id << " " << name;
  }
  for (const auto& [id, name] : script.bitmaps) {
    EXPECT_TRUE(fs::exists(kResources / name)) << "bitmap " << id << " " << name;
  }
  EXPECT_EQ(script.icons.count(130), 1u) << "the change-password dialog's icon";

  ASSERT_EQ(script.dialogs.count(101), 1u);
  const DialogTemplate& chgpwd = script.dialogs.at(101);
  EXPECT_EQ(chgpwd.rect.right - chgpwd.rect.left, 231);
  EXPECT_EQ(chgpwd.rect.bottom - chgpwd.rect.top, 123);
  for (int id : {1007, 1005, 1004}) {
    const ControlTemplate* edit = FindControl(chgpwd, id);
    ASSERT_NE(edit, nullptr) << id;
    EXPECT_EQ(edit->kind, ControlKind::Edit);
    EXPECT_NE(edit->style & ES_PASSWORD, 0u) << id;
  }
  for (int id : {1055, 1056, 1057}) {
    ASSERT_NE(FindControl(chgpwd, id), nullptr) << id;
    EXPECT_EQ(FindControl(chgpwd, id)->kind, ControlKind::Static);
  }
  const ControlTemplate* notice = FindControl(chgpwd, 1031);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->style & WS_VISIBLE, 0u) << "the notice area is hidden";
  ASSERT_NE(FindControl(chgpwd, IDOK), nullptr);
  EXPECT_EQ(FindControl(chgpwd, IDOK)->kind, ControlKind::Button);
  ASSERT_NE(FindControl(chgpwd, IDCANCEL), nullptr);
}

// The controls each module template must have, by the ids its dialog class uses.
TEST(ResourceScripts, TheModuleTemplatesHoldTheirDialogsControls) {
  struct Expected {
    int dialog;
    int width;
    int height;
    std::vector<std::pair<int, ControlKind>> controls;
  };
  const Expected expected[] = {
      {135,
       280,
       213,
       {{1059, ControlKind::ComboBox},
        {1058, ControlKind::Static},
        {1061, ControlKind::ComboBox},
        {1062, ControlKind::Static},
        {1060, ControlKind::Static},
        {1038, ControlKind::Button},
        {IDOK, ControlKind::Button},
        {IDCANCEL, ControlKind::Button}}},
      {133,
       0,
       0,
       {{1003, ControlKind::Edit},
        {1047, ControlKind::Button},
        {1051, ControlKind::Button},
        {1042, ControlKind::Button},
        {1008, ControlKind::Static},
        {IDOK, ControlKind::Button},
        {IDCANCEL, ControlKind::Button}}},
      {142,
       0,
       0,
       {{1031, ControlKind::Static},
        {1006, ControlKind::Static},
        {IDOK, ControlKind::Button},
        {IDCANCEL, ControlKind::Button}}},
  };
  ResourceScript script;
  for (const auto& entry : fs::recursive_directory_iterator(kResources)) {
    if (entry.path().extension() != ".rc") continue;
    std::string error;
    ASSERT_TRUE(ParseResourceScript(ReadFile(entry.path()), &script, &error)) << error;
  }
  for (const Expected& e : expected) {
    ASSERT_EQ(script.dialogs.count(e.dialog), 1u) << e.dialog;
    const DialogTemplate& dialog = script.dialogs.at(e.dialog);
    if (e.width > 0) {
      EXPECT_EQ(dialog.rect.right - dialog.rect.left, e.width) << e.dialog;
      EXPECT_EQ(dialog.rect.bottom - dialog.rect.top, e.height) << e.dialog;
    }
    for (const auto& [id, kind] : e.controls) {
      const ControlTemplate* control = FindControl(dialog, id);
      ASSERT_NE(control, nullptr) << e.dialog << "/" << id;
      EXPECT_EQ(control->kind, kind) << e.dialog << "/" << id;
    }
  }
  // Editable drop-downs of the rule editor; hidden placeholders for trees and panels.
  EXPECT_EQ(FindControl(script.dialogs.at(135), 1059)->style & 0x3, CBS_DROPDOWN);
  EXPECT_EQ(FindControl(script.dialogs.at(135), 1061)->style & 0x3, CBS_DROPDOWN);
  EXPECT_EQ(FindControl(script.dialogs.at(135), 1060)->style & WS_VISIBLE, 0u);
  EXPECT_EQ(FindControl(script.dialogs.at(133), 1008)->style & WS_VISIBLE, 0u);
  EXPECT_EQ(FindControl(script.dialogs.at(142), 1006)->style & WS_VISIBLE, 0u);
  EXPECT_NE(FindControl(script.dialogs.at(145), 1042)->style & ES_MULTILINE, 0u);
  for (int id : {1029, 1025}) {
    EXPECT_EQ(FindControl(script.dialogs.at(134), id)->style & WS_VISIBLE, 0u) << "hidden " << id;
  }
  for (int id : {1014, 1017}) {
    EXPECT_EQ(FindControl(script.dialogs.at(138), id)->style & WS_VISIBLE, 0u) << "hidden " << id;
  }
  for (int id : {139, 1016}) EXPECT_EQ(script.icons.count(id), 1u) << "privilege mark " << id;
  EXPECT_EQ(script.bitmaps.count(134), 1u) << "the drawing signature illustration";
}

TEST(ResourceScripts, ReadTheSubsetOfTheLanguage) {
  const char* text = R"(
#include "resource.h"
#define IDC_NAME 0x3E9   // 1001
#define IDC_ALIAS IDC_NAME
/* a block
   comment */
7 DIALOG 10, 20, 100, 50
STYLE WS_POPUP | WS_CAPTION | WS_THICKFRAME
EXSTYLE WS_EX_TOOLWINDOW
CAPTION "Say ""hi"""
FONT 10, "Tahoma", 700, 1, 0
{
  EDITTEXT IDC_ALIAS, 1, 2, 30, 12, ES_AUTOHSCROLL | NOT WS_TABSTOP, WS_EX_CLIENTEDGE
  CONTROL "Keep", 1002, "Button", BS_AUTOCHECKBOX | WS_TABSTOP | WS_DISABLED, 1, 16, 40, 10
  CONTROL "", 1003, "msctls_progress32", PBS_SMOOTH, 1, 28, 60, 8
  COMBOBOX 1004, 40, 2, 50, 80, CBS_DROPDOWNLIST | CBS_SORT
  ICON 130, -1, 80, 20
  RTEXT "Right", IDC_STATIC, 1, 40, 30, 8
  AUTORADIOBUTTON "One", 1005, 50, 40, 30, 8
  COMBOBOX 1006, 40, 2, 50, 80, CBS_DROPDOWN
  CHECKBOX "Maybe", 1007, 1, 40, 30, 8, BS_AUTO3STATE
}
9 BITMAP "bitmaps/tip.bmp"
)";
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript(text, &script, &error)) << error;
  const DialogTemplate& d = script.dialogs.at(7);
  EXPECT_EQ(d.caption, "Say \"hi\"");
  EXPECT_EQ(d.fontPointSize, 10);
  EXPECT_EQ(d.fontFace, "Tahoma");
  EXPECT_EQ(d.style, WS_POPUP | WS_CAPTION | WS_THICKFRAME);
  EXPECT_EQ(d.exStyle, WS_EX_TOOLWINDOW);
  EXPECT_EQ(d.rect.left, 10);
  EXPECT_EQ(d.rect.bottom, 70);
  ASSERT_EQ(d.controls.size(), 9u);

  const ControlTemplate& edit = d.controls[0];
  EXPECT_EQ(edit.id, 1001);
  EXPECT_EQ(edit.kind, ControlKind::Edit);
  EXPECT_EQ(edit.rect.right, 31);
  EXPECT_NE(edit.style & ES_AUTOHSCROLL, 0u);
  EXPECT_NE(edit.style & WS_VISIBLE, 0u) << "controls are visible unless told otherwise";
  EXPECT_NE(edit.style & WS_BORDER, 0u) << "an edit keeps its default border";
  EXPECT_EQ(edit.style & WS_TABSTOP, 0u) << "NOT removes a default style";
  EXPECT_EQ(edit.exStyle, WS_EX_CLIENTEDGE);

  EXPECT_EQ(d.controls[1].kind, ControlKind::CheckBox);
  EXPECT_NE(d.controls[1].style & WS_DISABLED, 0u);
  EXPECT_EQ(d.controls[2].kind, ControlKind::Progress);
  EXPECT_EQ(d.controls[3].kind, ControlKind::ComboBox);
  EXPECT_EQ(d.controls[3].style & 0x3, CBS_DROPDOWNLIST);
  EXPECT_NE(d.controls[3].style & CBS_SORT, 0u);
  EXPECT_EQ(d.controls[4].kind, ControlKind::Static);
  EXPECT_EQ(d.controls[4].style & SS_TYPEMASK, SS_ICON);
  EXPECT_EQ(d.controls[4].text, "130");
  EXPECT_EQ(d.controls[4].id, -1);
  EXPECT_EQ(d.controls[5].style & SS_TYPEMASK, SS_RIGHT);
  EXPECT_EQ(d.controls[6].kind, ControlKind::RadioButton);
  // A type named in the style replaces the statement's default type.
  EXPECT_EQ(d.controls[7].style & 0x3, CBS_DROPDOWN);
  EXPECT_EQ(d.controls[8].style & BS_TYPEMASK, BS_AUTO3STATE);
  EXPECT_EQ(script.bitmaps.at(9), "bitmaps/tip.bmp");
}

TEST(ResourceScripts, MalformedScriptsFailWithTheirLineAndChangeNothing) {
  struct Case {
    const char* text;
    const char* message;  // part of the error
  };
  const Case cases[] = {
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"open, 1, 0, 0, 5, 5\nEND",
       "line 3: text is not closed"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", 1, 0, 0, 5\nEND",
       "line 3: LTEXT has 5 arguments"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  EDITTEXT 1, 0, 0, 5, 5, ES_BOGUS\nEND",
       "line 3: unknown name ES_BOGUS"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  LISTVIEW 1, 0, 0, 5, 5\nEND",
       "line 3: unknown control statement LISTVIEW"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  CONTROL \"\", 1, \"Grid\", 0, 0, 0, 5, 5\nEND",
       "line 3: unknown control class Grid"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  EDITTEXT 5, 0, 0, 5, 5\n  EDITTEXT 5, 0, 9, 5, 5\nEND",
       "line 4: control id 5 is used twice"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  EDITTEXT 5, 0, 0, -5, 5\nEND",
       "line 3: negative control size"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  EDITTEXT 5, 0, 0, 5, 5\n",
       "line 4: expected a control or END"},
      {"1 DIALOGEX 0, 0, 0, 10\nBEGIN\nEND", "line 1: dialog size must be positive"},
      {"1 DIALOGEX 0, 0, 10, 10\nMENU 3\nBEGIN\nEND", "line 2: unknown dialog statement MENU"},
      {"1 DIALOGEX 0, 0, 10, 10\nFONT 9\nBEGIN\nEND", "line 2: FONT needs a size and a face"},
      {"1 DIALOGEX 0,0,10,10\nBEGIN\nEND\n1 DIALOGEX 0,0,10,10\nBEGIN\nEND",
       "line 4: dialog 1 is defined twice"},
      {"2 ICON \"a.png\"\n2 ICON \"b.png\"", "line 2: icon 2 is defined twice"},
      {"70000 ICON \"a.png\"", "line 1: resource id out of range"},
      {"1 MENUEX", "line 1: unknown resource kind MENUEX"},
      {"1 ICON 5", "line 1: expected a file name"},
      {"/* never closed\n1 ICON \"a.png\"", "line 1: comment is not closed"},
      {"#define\n1 ICON \"a.png\"", "line 1: #define without a name"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  EDITTEXT 0x1FFFFFFFF, 0, 0, 5, 5\nEND",
       "line 3: bad number"},
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  EDITTEXT 1 ; 0, 0, 5, 5\nEND",
       "line 3: unexpected character ';'"},
      {"DIALOGEX", "line 1: unknown name DIALOGEX"},
  };
  for (const Case& c : cases) {
    ResourceScript script;
    script.icons[500] = "kept.png";
    std::string error;
    EXPECT_FALSE(ParseResourceScript(c.text, &script, &error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << "got \"" << error << "\" for\n"
                                                        << c.text;
    EXPECT_TRUE(script.dialogs.empty()) << c.text;
    EXPECT_EQ(script.icons.size(), 1u) << c.text;
  }
}

TEST(ResourceScripts, AScriptMayNotRedefineWhatAnotherDefined) {
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript("3 DIALOGEX 0,0,9,9\nBEGIN\nEND", &script, &error));
  EXPECT_FALSE(ParseResourceScript("4 DIALOGEX 0,0,9,9\nBEGIN\nEND\n3 DIALOGEX 0,0,9,9\nBEGIN\nEND",
                                   &script, &error));
  EXPECT_EQ(error, "dialog 3 is defined twice");
  EXPECT_EQ(script.dialogs.count(4), 0u) << "nothing of the refused script is kept";
}

TEST(ResourceRegistration, FailsForBrokenScriptsAndMissingImages) {
  HINSTANCE module = reinterpret_cast<HINSTANCE>(0x5151);
  const char script[] = "1 ICON \"missing.png\"";
  HrzResourceFile rc{"a.rc", reinterpret_cast<const unsigned char*>(script), sizeof(script) - 1};
  std::string error;
  EXPECT_FALSE(AfxRegisterModuleResources(module, &rc, 1, &error));
  EXPECT_EQ(error, "icon 1: cannot load missing.png");

  const unsigned char notAnImage[] = {'x', 'y'};
  HrzResourceFile files[] = {rc, {"missing.png", notAnImage, sizeof(notAnImage)}};
  EXPECT_FALSE(AfxRegisterModuleResources(module, files, 2, &error));

  const char broken[] = "1 DIALOGEX";
  HrzResourceFile bad{"b.rc", reinterpret_cast<const unsigned char*>(broken), sizeof(broken) - 1};
  EXPECT_FALSE(AfxRegisterModuleResources(module, &bad, 1, &error));
  EXPECT_EQ(error.rfind("b.rc: line 1:", 0), 0u) << error;
  EXPECT_FALSE(AfxRegisterModuleResources(nullptr, &bad, 1, &error));
}

}  // namespace
}  // namespace hrz
