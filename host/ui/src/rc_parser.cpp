#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "dialog_template.h"
#include "rc_lexer.h"

namespace hrz {
namespace {

const NameTable& BuiltinNames() {
  static const NameTable names = {
      {"IDOK", IDOK},
      {"IDCANCEL", IDCANCEL},
      {"IDABORT", IDABORT},
      {"IDRETRY", IDRETRY},
      {"IDIGNORE", IDIGNORE},
      {"IDYES", IDYES},
      {"IDNO", IDNO},
      {"IDC_STATIC", -1},
      {"WS_OVERLAPPED", WS_OVERLAPPED},
      {"WS_POPUP", WS_POPUP},
      {"WS_CHILD", WS_CHILD},
      {"WS_VISIBLE", WS_VISIBLE},
      {"WS_DISABLED", WS_DISABLED},
      {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
      {"WS_CLIPCHILDREN", WS_CLIPCHILDREN},
      {"WS_CAPTION", WS_CAPTION},
      {"WS_BORDER", WS_BORDER},
      {"WS_VSCROLL", WS_VSCROLL},
      {"WS_HSCROLL", WS_HSCROLL},
      {"WS_SYSMENU", WS_SYSMENU},
      {"WS_THICKFRAME", WS_THICKFRAME},
      {"WS_GROUP", WS_GROUP},
      {"WS_TABSTOP", WS_TABSTOP},
      {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
      {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
      {"DS_SETFONT", DS_SETFONT},
      {"DS_MODALFRAME", DS_MODALFRAME},
      {"DS_CENTER", DS_CENTER},
      {"DS_SHELLFONT", DS_SHELLFONT},
      {"DS_FIXEDSYS", DS_FIXEDSYS},
      {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
      {"WS_EX_STATICEDGE", WS_EX_STATICEDGE},
      {"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT},
      {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW},
      {"ES_LEFT", ES_LEFT},
      {"ES_CENTER", ES_CENTER},
      {"ES_RIGHT", ES_RIGHT},
      {"ES_MULTILINE", ES_MULTILINE},
      {"ES_UPPERCASE", ES_UPPERCASE},
      {"ES_LOWERCASE", ES_LOWERCASE},
      {"ES_PASSWORD", ES_PASSWORD},
      {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
      {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
      {"ES_READONLY", ES_READONLY},
      {"ES_WANTRETURN", ES_WANTRETURN},
      {"ES_NUMBER", ES_NUMBER},
      {"SS_LEFT", SS_LEFT},
      {"SS_CENTER", SS_CENTER},
      {"SS_RIGHT", SS_RIGHT},
      {"SS_ICON", SS_ICON},
      {"SS_BLACKRECT", SS_BLACKRECT},
      {"SS_GRAYRECT", SS_GRAYRECT},
      {"SS_WHITERECT", SS_WHITERECT},
      {"SS_BLACKFRAME", SS_BLACKFRAME},
      {"SS_GRAYFRAME", SS_GRAYFRAME},
      {"SS_WHITEFRAME", SS_WHITEFRAME},
      {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP},
      {"SS_BITMAP", SS_BITMAP},
      {"SS_ETCHEDFRAME", SS_ETCHEDFRAME},
      {"SS_NOTIFY", SS_NOTIFY},
      {"SS_CENTERIMAGE", SS_CENTERIMAGE},
      {"SS_SUNKEN", SS_SUNKEN},
      {"BS_PUSHBUTTON", BS_PUSHBUTTON},
      {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
      {"BS_CHECKBOX", BS_CHECKBOX},
      {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
      {"BS_RADIOBUTTON", BS_RADIOBUTTON},
      {"BS_3STATE", BS_3STATE},
      {"BS_AUTO3STATE", BS_AUTO3STATE},
      {"BS_GROUPBOX", BS_GROUPBOX},
      {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
      {"BS_LEFTTEXT", BS_LEFTTEXT},
      {"BS_MULTILINE", BS_MULTILINE},
      {"BS_FLAT", BS_FLAT},
      {"CBS_SIMPLE", CBS_SIMPLE},
      {"CBS_DROPDOWN", CBS_DROPDOWN},
      {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
      {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL},
      {"CBS_SORT", CBS_SORT},
      {"CBS_HASSTRINGS", CBS_HASSTRINGS},
      {"PBS_SMOOTH", PBS_SMOOTH},
  };
  return names;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// How each control statement is written and what it creates.
struct Statement {
  ControlKind kind;
  DWORD defaultStyle;
  bool hasText;
};

const std::unordered_map<std::string, Statement>& ControlStatements() {
  static const std::unordered_map<std::string, Statement> statements = {
      {"LTEXT", {ControlKind::Static, kChild | WS_GROUP | SS_LEFT, true}},
      {"RTEXT", {ControlKind::Static, kChild | WS_GROUP | SS_RIGHT, true}},
      {"CTEXT", {ControlKind::Static, kChild | WS_GROUP | SS_CENTER, true}},
      {"PUSHBUTTON", {ControlKind::Button, kChild | WS_TABSTOP | BS_PUSHBUTTON, true}},
      {"DEFPUSHBUTTON", {ControlKind::Button, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, true}},
      {"GROUPBOX", {ControlKind::GroupBox, kChild | BS_GROUPBOX, true}},
      {"CHECKBOX", {ControlKind::CheckBox, kChild | WS_TABSTOP | BS_CHECKBOX, true}},
      {"AUTOCHECKBOX", {ControlKind::CheckBox, kChild | WS_TABSTOP | BS_AUTOCHECKBOX, true}},
      {"RADIOBUTTON", {ControlKind::RadioButton, kChild | BS_RADIOBUTTON, true}},
      {"AUTORADIOBUTTON", {ControlKind::RadioButton, kChild | BS_AUTORADIOBUTTON, true}},
      {"EDITTEXT", {ControlKind::Edit, kChild | WS_TABSTOP | WS_BORDER | ES_LEFT, false}},
      {"COMBOBOX", {ControlKind::ComboBox, kChild | WS_TABSTOP | CBS_SIMPLE, false}},
  };
  return statements;
}

std::optional<ControlKind> ButtonKind(DWORD style) {
  switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
      return ControlKind::Button;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
      return ControlKind::CheckBox;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return ControlKind::RadioButton;
    case BS_GROUPBOX:
      return ControlKind::GroupBox;
    default:
      return std::nullopt;
  }
}

DWORD TypeMaskOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Static:
      return SS_TYPEMASK;
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox:
      return BS_TYPEMASK;
    case ControlKind::ComboBox:
      return 0x3;
    default:
      return 0;
  }
}

// One comma-separated argument: a text, or terms joined by "|" or "+" (NOT clears a style).
struct Term {
  bool negate = false;
  std::int64_t value = 0;
};
struct Argument {
  bool isText = false;
  std::string text;
  std::vector<Term> terms;
  int line = 0;
};

class Parser {
 public:
  // name: the script's name in files, from which its #include lines are found.
  Parser(std::string_view text, std::string_view name, const ScriptFiles* files)
      : preprocessor_{files, &BuiltinNames(), {}, {std::string(name)}},
        lexer_(text, &preprocessor_) {}

  bool Run(ResourceScript* script);
  const std::string& Error() const { return error_; }

 private:
  bool Fail(int line, const std::string& message) {
    error_ = "line " + std::to_string(line) + ": " + message;
    return false;
  }
  bool Expect(TokenKind kind, const char* what, Token* token = nullptr);
  bool ResolveName(const Token& token, std::int64_t* value);
  bool ParseTerm(Term* term);
  bool ParseArgument(Argument* argument);
  bool ParseArguments(std::vector<Argument>* arguments);
  bool Number(const Argument& argument, const char* what, int* value);
  bool Style(const Argument& argument, DWORD base, DWORD typeMask, DWORD* style);
  bool ParseDialog(int id, int line, ResourceScript* script);
  bool ParseDialogOptions(DialogTemplate* dialog);
  bool ParseControl(const Token& keyword, DialogTemplate* dialog);
  bool ParseFileResource(int id, std::map<int, std::string>* files, const char* kind);

  RcPreprocessor preprocessor_;
  RcLexer lexer_;
  std::string error_;
};

bool Parser::Expect(TokenKind kind, const char* what, Token* token) {
  Token next = lexer_.Next();
  if (next.kind == TokenKind::Invalid) return Fail(next.line, next.text);
  if (next.kind != kind) return Fail(next.line, std::string("expected ") + what);
  if (token != nullptr) *token = next;
  return true;
}

bool Parser::ResolveName(const Token& token, std::int64_t* value) {
  if (preprocessor_.Lookup(token.text, value)) return true;
  return Fail(token.line, "unknown name " + token.text);
}

bool Parser::ParseTerm(Term* term) {
  Token token = lexer_.Next();
  if (token.kind == TokenKind::Name && token.text == "NOT") {
    term->negate = true;
    token = lexer_.Next();
  }
  bool negative = false;
  if (token.kind == TokenKind::Minus) {
    negative = true;
    token = lexer_.Next();
  }
  if (token.kind == TokenKind::Invalid) return Fail(token.line, token.text);
  if (token.kind == TokenKind::Number) {
    term->value = token.value;
  } else if (token.kind == TokenKind::Name) {
    if (!ResolveName(token, &term->value)) return false;
  } else {
    return Fail(token.line, "expected a number or a name");
  }
  if (negative) term->value = -term->value;
  return true;
}

bool Parser::ParseArgument(Argument* argument) {
  argument->line = lexer_.Peek().line;
  if (lexer_.Peek().kind == TokenKind::String) {
    argument->isText = true;
    argument->text = lexer_.Next().text;
    return true;
  }
  while (true) {
    Term term;
    if (!ParseTerm(&term)) return false;
    argument->terms.push_back(term);
    TokenKind next = lexer_.Peek().kind;
    if (next != TokenKind::Bar && next != TokenKind::Plus) return true;
    lexer_.Next();
  }
}

bool Parser::ParseArguments(std::vector<Argument>* arguments) {
  while (true) {
    Argument argument;
    if (!ParseArgument(&argument)) return false;
    arguments->push_back(std::move(argument));
    const Token& next = lexer_.Peek();
    if (next.kind == TokenKind::Invalid) return Fail(next.line, next.text);
    if (next.kind != TokenKind::Comma) return true;
    lexer_.Next();
  }
}

bool Parser::Number(const Argument& argument, const char* what, int* value) {
  if (argument.isText || argument.terms.size() != 1 || argument.terms[0].negate) {
    return Fail(argument.line, std::string("expected a number for ") + what);
  }
  std::int64_t v = argument.terms[0].value;
  // Ids such as 0xFFFF and -1 both mean "no id"; keep values in the signed 32-bit range.
  if (v > 0x7fffffff) v -= 0x100000000LL;
  *value = static_cast<int>(v);
  return true;
}

// A style naming a control type (BS_AUTOCHECKBOX, CBS_DROPDOWN...) replaces the statement's
// default type instead of mixing with it.
bool Parser::Style(const Argument& argument, DWORD base, DWORD typeMask, DWORD* style) {
  if (argument.isText) return Fail(argument.line, "expected a style");
  DWORD added = 0;
  for (const Term& term : argument.terms) {
    if (!term.negate) added |= static_cast<DWORD>(term.value);
  }
  DWORD result = (added & typeMask) != 0 ? (base & ~typeMask) : base;
  for (const Term& term : argument.terms) {
    auto bits = static_cast<DWORD>(term.value);
    result = term.negate ? (result & ~bits) : (result | bits);
  }
  *style = result;
  return true;
}

bool Parser::ParseFileResource(int id, std::map<int, std::string>* files, const char* kind) {
  Token name;
  if (!Expect(TokenKind::String, "a file name", &name)) return false;
  if (name.text.empty()) return Fail(name.line, std::string(kind) + " without a file name");
  if (!files->emplace(id, name.text).second) {
    return Fail(name.line, std::string(kind) + " " + std::to_string(id) + " is defined twice");
  }
  return true;
}

bool Parser::ParseDialogOptions(DialogTemplate* dialog) {
  while (true) {
    Token word;
    if (!Expect(TokenKind::Name, "BEGIN", &word)) return false;
    if (word.text == "BEGIN") return true;
    if (word.text == "STYLE" || word.text == "EXSTYLE") {
      Argument argument;
      if (!ParseArgument(&argument)) return false;
      if (!Style(argument, 0, 0, word.text == "STYLE" ? &dialog->style : &dialog->exStyle)) {
        return false;
      }
    } else if (word.text == "CAPTION") {
      Token caption;
      if (!Expect(TokenKind::String, "the caption text", &caption)) return false;
      dialog->caption = caption.text;
    } else if (word.text == "FONT") {
      std::vector<Argument> arguments;
      if (!ParseArguments(&arguments)) return false;
      if (arguments.size() < 2 || !arguments[1].isText) {
        return Fail(word.line, "FONT needs a size and a face");
      }
      if (!Number(arguments[0], "the font size", &dialog->fontPointSize)) return false;
      if (dialog->fontPointSize < 1 || dialog->fontPointSize > 72) {
        return Fail(word.line, "font size out of range");
      }
      dialog->fontFace = arguments[1].text;
    } else {
      return Fail(word.line, "unknown dialog statement " + word.text);
    }
  }
}

bool Parser::ParseControl(const Token& keyword, DialogTemplate* dialog) {
  std::vector<Argument> args;
  if (!ParseArguments(&args)) return false;
  ControlTemplate control;
  control.line = keyword.line;
  std::size_t at = 0;  // index of the id argument
  DWORD base = 0;
  std::size_t minCount = 0;
  std::size_t maxCount = 0;
  const auto& statements = ControlStatements();
  if (auto it = statements.find(keyword.text); it != statements.end()) {
    control.kind = it->second.kind;
    base = it->second.defaultStyle;
    at = it->second.hasText ? 1 : 0;
    minCount = at + 5;
    maxCount = at + 7;
  } else if (keyword.text == "CONTROL") {
    at = 1;
    minCount = 8;
    maxCount = 9;
  } else if (keyword.text == "ICON") {
    control.kind = ControlKind::Static;
    base = kChild | SS_ICON;
    at = 1;
    minCount = 4;
    maxCount = 8;
  } else {
    return Fail(keyword.line, "unknown control statement " + keyword.text);
  }
  if (args.size() < minCount || args.size() > maxCount) {
    return Fail(keyword.line, keyword.text + " has " + std::to_string(args.size()) +
                                  " arguments, expected " + std::to_string(minCount) + " to " +
                                  std::to_string(maxCount));
  }
  if (at == 1) {
    if (args[0].isText) {
      control.text = args[0].text;
    } else if (keyword.text == "ICON" || keyword.text == "CONTROL") {  // an image by number
      int icon = 0;
      if (!Number(args[0], "the icon id", &icon)) return false;
      control.text = std::to_string(icon);
    } else {
      return Fail(args[0].line, "expected the control text");
    }
  }
  if (!Number(args[at], "the control id", &control.id)) return false;
  std::size_t geometry = at + 1;
  if (keyword.text == "CONTROL") {
    if (!args[2].isText) return Fail(args[2].line, "expected the control class");
    const std::string& cls = args[2].text;
    if (!Style(args[3], kChild, 0, &control.style)) return false;
    if (cls == "Static") {
      control.kind = ControlKind::Static;
    } else if (cls == "Button") {
      auto kind = ButtonKind(control.style);
      if (!kind) return Fail(keyword.line, "unknown button style");
      control.kind = *kind;
    } else if (cls == "Edit") {
      control.kind = ControlKind::Edit;
    } else if (cls == "ComboBox") {
      control.kind = ControlKind::ComboBox;
    } else if (cls == "msctls_progress32") {
      control.kind = ControlKind::Progress;
    } else {
      return Fail(args[2].line, "unknown control class " + cls);
    }
    geometry = 4;
  }
  int box[4] = {0, 0, 0, 0};
  std::size_t sizes = keyword.text == "ICON" && args.size() < 6 ? 2 : 4;
  static const char* const kWhat[] = {"x", "y", "width", "height"};
  for (std::size_t i = 0; i < sizes; ++i) {
    if (!Number(args[geometry + i], kWhat[i], &box[i])) return false;
  }
  if (box[2] < 0 || box[3] < 0) return Fail(keyword.line, "negative control size");
  control.rect = {box[0], box[1], box[0] + box[2], box[1] + box[3]};
  std::size_t next = geometry + sizes;
  if (keyword.text == "CONTROL") {
    if (next < args.size() && !Style(args[next], 0, 0, &control.exStyle)) return false;
  } else {
    DWORD typeMask = TypeMaskOf(control.kind);
    if (next < args.size() && !Style(args[next], base, typeMask, &control.style)) return false;
    if (next >= args.size()) control.style = base;
    if (next + 1 < args.size() && !Style(args[next + 1], 0, 0, &control.exStyle)) return false;
  }
  dialog->controls.push_back(std::move(control));
  return true;
}

bool Parser::ParseDialog(int id, int line, ResourceScript* script) {
  DialogTemplate dialog;
  dialog.id = id;
  std::vector<Argument> args;
  if (!ParseArguments(&args)) return false;
  if (args.size() < 4 || args.size() > 5) return Fail(line, "DIALOGEX needs x, y, width, height");
  int box[4];
  static const char* const kWhat[] = {"x", "y", "width", "height"};
  for (int i = 0; i < 4; ++i) {
    if (!Number(args[i], kWhat[i], &box[i])) return false;
  }
  if (box[2] <= 0 || box[3] <= 0) return Fail(line, "dialog size must be positive");
  dialog.rect = {box[0], box[1], box[0] + box[2], box[1] + box[3]};
  if (!ParseDialogOptions(&dialog)) return false;
  std::set<int> ids;
  while (true) {
    Token keyword;
    if (!Expect(TokenKind::Name, "a control or END", &keyword)) return false;
    if (keyword.text == "END") break;
    if (!ParseControl(keyword, &dialog)) return false;
    int controlId = dialog.controls.back().id;
    if (controlId != -1 && !ids.insert(controlId).second) {
      return Fail(keyword.line, "control id " + std::to_string(controlId) + " is used twice");
    }
  }
  if (!script->dialogs.emplace(id, std::move(dialog)).second) {
    return Fail(line, "dialog " + std::to_string(id) + " is defined twice");
  }
  return true;
}

bool Parser::Run(ResourceScript* script) {
  while (true) {
    Token token = lexer_.Next();
    if (token.kind == TokenKind::End) return true;
    if (token.kind == TokenKind::Invalid) return Fail(token.line, token.text);
    std::int64_t id = 0;
    if (token.kind == TokenKind::Number) {
      id = token.value;
    } else if (token.kind == TokenKind::Name) {
      if (!ResolveName(token, &id)) return false;
    } else {
      return Fail(token.line, "expected a resource id");
    }
    if (id < 1 || id > 65535) return Fail(token.line, "resource id out of range");
    Token kind;
    if (!Expect(TokenKind::Name, "DIALOGEX, ICON or BITMAP", &kind)) return false;
    bool ok = false;
    if (kind.text == "DIALOGEX" || kind.text == "DIALOG") {
      ok = ParseDialog(static_cast<int>(id), kind.line, script);
    } else if (kind.text == "ICON") {
      ok = ParseFileResource(static_cast<int>(id), &script->icons, "icon");
    } else if (kind.text == "BITMAP") {
      ok = ParseFileResource(static_cast<int>(id), &script->bitmaps, "bitmap");
    } else {
      return Fail(kind.line, "unknown resource kind " + kind.text);
    }
    if (!ok) return false;
  }
}

bool Parse(std::string_view text, std::string_view name, const ScriptFiles* files,
           ResourceScript* script, std::string* error) {
  ResourceScript parsed;
  Parser parser(text, name, files);
  if (!parser.Run(&parsed)) {
    if (error != nullptr) *error = parser.Error();
    return false;
  }
  // Several scripts may go into one set of resources; an id defined twice is an error.
  auto clash = [&](const auto& mine, const auto& theirs, const char* kind) {
    for (const auto& entry : theirs) {
      if (mine.count(entry.first) == 0) continue;
      if (error != nullptr)
        *error = std::string(kind) + " " + std::to_string(entry.first) + " is defined twice";
      return true;
    }
    return false;
  };
  if (clash(script->dialogs, parsed.dialogs, "dialog") ||
      clash(script->icons, parsed.icons, "icon") ||
      clash(script->bitmaps, parsed.bitmaps, "bitmap")) {
    return false;
  }
  script->dialogs.merge(parsed.dialogs);
  script->icons.merge(parsed.icons);
  script->bitmaps.merge(parsed.bitmaps);
  return true;
}

}  // namespace

bool ParseResourceScript(std::string_view text, ResourceScript* script, std::string* error) {
  return Parse(text, "", nullptr, script, error);
}

bool ParseResourceScript(const ScriptFiles& files, std::string_view name, ResourceScript* script,
                         std::string* error) {
  auto it = files.find(name);
  if (it == files.end()) {
    if (error != nullptr) *error = "no script " + std::string(name);
    return false;
  }
  return Parse(it->second, it->first, &files, script, error);
}

}  // namespace hrz
