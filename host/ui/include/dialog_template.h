// Dialog templates written in a small subset of the resource-script language:
//
//   #include "chgpwd_ids.h"                       (a header of #define lines shared with C++)
//   #define IDC_OLD_PWD 1007                      (names for numbers)
//   101 DIALOGEX 0, 0, 231, 123                   (position and size in dialog units)
//   STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
//   CAPTION "Change password"
//   FONT 9, "MS Shell Dlg", 400, 0, 0x1           (point size and face; the rest is ignored)
//   BEGIN
//     LTEXT "Old password", 1055, 14, 17, 60, 8   (text, id, x, y, cx, cy [, style [, exstyle]])
//     EDITTEXT IDC_OLD_PWD, 80, 14, 120, 14, ES_PASSWORD | ES_AUTOHSCROLL
//     CONTROL "", 1031, "Static", SS_BLACKFRAME | NOT WS_VISIBLE, 14, 60, 200, 30
//   END
//   130 ICON "icons/hrzuser.png"                  (icons and bitmaps name embedded files)
//   137 BITMAP "bitmaps/tip.bmp"
//
// Text controls: LTEXT RTEXT CTEXT PUSHBUTTON DEFPUSHBUTTON GROUPBOX CHECKBOX AUTOCHECKBOX
// RADIOBUTTON AUTORADIOBUTTON; without text: EDITTEXT COMBOBOX; CONTROL names its class:
// "Static", "Button", "Edit", "ComboBox" or "msctls_progress32". Comments are // and /* */.
// A defined name stands wherever a number may. Preprocessor lines are #define NAME value
// (a number or a defined name; no name takes a second value), #include "file" (a file of
// preprocessor lines only) and #pragma (ignored); any other directive is an error.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "wintypes.h"

// Window styles the templates use.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD DS_CENTER = 0x800;
constexpr DWORD DS_SHELLFONT = 0x48;
constexpr DWORD DS_FIXEDSYS = 0x8;
constexpr DWORD WS_EX_CLIENTEDGE = 0x200;
constexpr DWORD WS_EX_STATICEDGE = 0x20000;
constexpr DWORD WS_EX_TRANSPARENT = 0x20;
constexpr DWORD WS_EX_TOOLWINDOW = 0x80;

constexpr DWORD ES_LEFT = 0x0;
constexpr DWORD ES_CENTER = 0x1;
constexpr DWORD ES_RIGHT = 0x2;
constexpr DWORD ES_MULTILINE = 0x4;
constexpr DWORD ES_UPPERCASE = 0x8;
constexpr DWORD ES_LOWERCASE = 0x10;
constexpr DWORD ES_PASSWORD = 0x20;
constexpr DWORD ES_AUTOVSCROLL = 0x40;
constexpr DWORD ES_AUTOHSCROLL = 0x80;
constexpr DWORD ES_READONLY = 0x800;
constexpr DWORD ES_WANTRETURN = 0x1000;
constexpr DWORD ES_NUMBER = 0x2000;

constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_CENTER = 0x1;
constexpr DWORD SS_RIGHT = 0x2;
constexpr DWORD SS_ICON = 0x3;
constexpr DWORD SS_BLACKRECT = 0x4;
constexpr DWORD SS_GRAYRECT = 0x5;
constexpr DWORD SS_WHITERECT = 0x6;
constexpr DWORD SS_BLACKFRAME = 0x7;
constexpr DWORD SS_GRAYFRAME = 0x8;
constexpr DWORD SS_WHITEFRAME = 0x9;
constexpr DWORD SS_LEFTNOWORDWRAP = 0xC;
constexpr DWORD SS_BITMAP = 0xE;
constexpr DWORD SS_ETCHEDFRAME = 0x12;
constexpr DWORD SS_TYPEMASK = 0x1F;
constexpr DWORD SS_NOTIFY = 0x100;
constexpr DWORD SS_CENTERIMAGE = 0x200;
constexpr DWORD SS_SUNKEN = 0x1000;

constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_CHECKBOX = 0x2;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr DWORD BS_RADIOBUTTON = 0x4;
constexpr DWORD BS_3STATE = 0x5;
constexpr DWORD BS_AUTO3STATE = 0x6;
constexpr DWORD BS_GROUPBOX = 0x7;
constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
constexpr DWORD BS_TYPEMASK = 0xF;
constexpr DWORD BS_LEFTTEXT = 0x20;
constexpr DWORD BS_MULTILINE = 0x2000;
constexpr DWORD BS_FLAT = 0x8000;

constexpr DWORD CBS_SIMPLE = 0x1;
constexpr DWORD CBS_DROPDOWN = 0x2;
constexpr DWORD CBS_DROPDOWNLIST = 0x3;
constexpr DWORD CBS_AUTOHSCROLL = 0x40;
constexpr DWORD CBS_SORT = 0x100;
constexpr DWORD CBS_HASSTRINGS = 0x200;

constexpr DWORD PBS_SMOOTH = 0x1;

namespace hrz {

enum class ControlKind {
  Static,
  Button,
  CheckBox,
  RadioButton,
  GroupBox,
  Edit,
  ComboBox,
  Progress
};

struct ControlTemplate {
  ControlKind kind = ControlKind::Static;
  std::string text;  // for SS_ICON and SS_BITMAP statics: the resource id as text
  int id = -1;
  RECT rect;  // dialog units: left, top, right, bottom
  DWORD style = 0;
  DWORD exStyle = 0;
  int line = 0;  // where it was written, for messages
};

struct DialogTemplate {
  int id = 0;
  RECT rect;  // dialog units
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string caption;
  int fontPointSize = 8;
  std::string fontFace;
  std::vector<ControlTemplate> controls;
};

// What a resource script declares.
struct ResourceScript {
  std::map<int, DialogTemplate> dialogs;
  std::map<int, std::string> icons;    // id -> file name
  std::map<int, std::string> bitmaps;  // id -> file name
};

// The files a script may include, by their names in the module ("dialogs/chgpwd_ids.h").
using ScriptFiles = std::map<std::string, std::string_view, std::less<>>;

// Parses a whole script into *script. Returns false on the first error and describes it,
// with its line number, in *error; *script is then left unchanged. This form includes
// nothing: an #include line is an error.
bool ParseResourceScript(std::string_view text, ResourceScript* script, std::string* error);
// Parses the script of that name in files. #include "x.h" in "dialogs/a.rc" reads
// "dialogs/x.h", or else "x.h"; a missing file and an include cycle are errors.
bool ParseResourceScript(const ScriptFiles& files, std::string_view name, ResourceScript* script,
                         std::string* error);

}  // namespace hrz
