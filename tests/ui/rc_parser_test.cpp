#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dialog_template.h"
#include "resources.h"

namespace hrz {
namespace {

TEST(ResourceScripts, ReadTheSubsetOfTheLanguage) {
  const char* text = R"(
#include "resource.h"
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
  const ScriptFiles files = {{"dialogs/demo.rc", text},
                             {"dialogs/resource.h", "#define IDC_NAME 0x3E9   // 1001\n"}};
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript(files, "dialogs/demo.rc", &script, &error)) << error;
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

// Ids headers as the module keeps them: beside the script, or at the top of the set for
// what several scripts share; a header may be reached twice without harm.
TEST(ResourceScripts, IncludedHeadersNameTheIds) {
  const ScriptFiles files = {
      {"dialogs/ask.rc",
       "// Ask\n#include \"ask_ids.h\"\n#include \"images_ids.h\"\n"
       "IDD_ASK DIALOGEX 0, 0, 90, 40\nBEGIN\n"
       "  EDITTEXT IDC_ASK_NAME, 2, 2, 60, 12\n"
       "  ICON IDI_ASK, IDC_STATIC, 70, 2\n"
       "  DEFPUSHBUTTON \"OK\", IDOK, 2, 20, 40, 14\nEND\n"},
      {"dialogs/ask_ids.h",
       "#pragma once\n#define IDD_ASK 0x80  // the dialog\n"
       "# define IDC_ASK_NAME 1001\n#include \"images_ids.h\"\n"
       "#define IDC_STATIC -1\n#define IDC_ASK_NAME 1001\n"},
      {"images_ids.h", "#pragma once\n#define IDI_ASK 130\n"},
      {"images.rc", "#include \"images_ids.h\"\nIDI_ASK ICON \"icons/ask.png\"\n"},
  };
  ResourceScript script;
  std::string error;
  ASSERT_TRUE(ParseResourceScript(files, "dialogs/ask.rc", &script, &error)) << error;
  ASSERT_TRUE(ParseResourceScript(files, "images.rc", &script, &error)) << error;
  ASSERT_EQ(script.dialogs.count(0x80), 1u);
  const DialogTemplate& ask = script.dialogs.at(0x80);
  ASSERT_EQ(ask.controls.size(), 3u);
  EXPECT_EQ(ask.controls[0].id, 1001);
  EXPECT_EQ(ask.controls[1].text, "130") << "an icon by its name";
  EXPECT_EQ(ask.controls[1].id, -1);
  EXPECT_EQ(script.icons.at(130), "icons/ask.png");

  EXPECT_FALSE(ParseResourceScript(files, "dialogs/none.rc", &script, &error));
  EXPECT_EQ(error, "no script dialogs/none.rc");
  EXPECT_FALSE(ParseResourceScript(files.at("dialogs/ask.rc"), &script, &error))
      << "a script read without its set has nothing to include";
  EXPECT_EQ(error, "line 2: cannot include ask_ids.h: no such file");
}

TEST(ResourceScripts, MalformedScriptsFailWithTheirLineAndChangeNothing) {
  struct Case {
    const char* text;         // the script "dialogs/main.rc"
    const char* message;      // part of the error
    ScriptFiles others = {};  // beside it in the set
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
      {"1 DIALOGEX 0, 0, 10, 10\nBEGIN\n  EDITTEXT IDC_MISSING, 0, 0, 5, 5\nEND",
       "line 3: unknown name IDC_MISSING"},
      {"// ids\n#include \"nowhere.h\"\n1 ICON \"a.png\"",
       "line 2: cannot include nowhere.h: no such file"},
      {"#include <windows.h>", "line 1: #include <...> is not read"},
      {"#include main_ids.h", "line 1: #include needs a file name in quotes"},
      {"#include \"\"", "line 1: #include needs a file name in quotes"},
      {"#include \"a.h\" 7", "line 1: unexpected text after #include \"a.h\""},
      {"#include \"main.rc\"", "line 1: #include cycle: dialogs/main.rc -> dialogs/main.rc"},
      {"#include \"a.h\"",
       "line 1: dialogs/a.h: line 1: dialogs/b.h: line 1: #include cycle: dialogs/main.rc -> "
       "dialogs/a.h -> dialogs/b.h -> dialogs/a.h",
       {{"dialogs/a.h", "#include \"b.h\"\n"}, {"dialogs/b.h", "#include \"a.h\"\n"}}},
      {"#include \"a.h\"",
       "line 1: dialogs/a.h: line 2: #define B needs a number",
       {{"dialogs/a.h", "#define A 1\n#define B\n"}}},
      {"#include \"a.h\"",
       "line 1: dialogs/a.h: line 1: an included file may hold only preprocessor lines",
       {{"dialogs/a.h", "1 ICON \"a.png\"\n"}}},
      {"#define A 1\n#define A 2", "line 2: A is defined as 1 already"},
      {"#include \"a.h\"\n#define IDC_X 6",
       "line 2: IDC_X is defined as 5 already",
       {{"a.h", "#define IDC_X 5\n"}}},
      {"#define IDOK 3", "line 1: IDOK is defined as 1 already"},
      {"#define A B", "line 1: #define A needs a number"},
      {"#define A 1 2", "line 1: unexpected text after #define A"},
      {"#if 0\n#endif", "line 1: unsupported directive #if"},
  };
  for (const Case& c : cases) {
    ScriptFiles files = c.others;
    files.emplace("dialogs/main.rc", c.text);
    ResourceScript script;
    script.icons[500] = "kept.png";
    std::string error;
    EXPECT_FALSE(ParseResourceScript(files, "dialogs/main.rc", &script, &error)) << c.text;
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
