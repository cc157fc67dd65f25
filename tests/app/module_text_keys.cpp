#include "module_text_keys.h"

#include <cctype>
#include <set>
#include <tuple>

namespace hrztest {
namespace {

enum class Kind { Name, String, Punct, Other };

struct Token {
  Kind kind;
  std::string text;  // a string literal's contents, without quotes and escapes
  int line;
};

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Reads a quoted literal starting at text[*pos] == '"'; returns its contents.
std::string ReadQuoted(std::string_view text, std::size_t* pos, bool raw, int* line) {
  std::string value;
  std::size_t p = *pos + 1;
  if (raw) {
    const std::size_t open = text.find('(', p);
    const std::string close = ")" + std::string(text.substr(p, open - p)) + "\"";
    const std::size_t end = text.find(close, open);
    value = std::string(text.substr(open + 1, end - open - 1));
    for (char c : value) *line += c == '\n' ? 1 : 0;
    *pos = end == std::string_view::npos ? text.size() : end + close.size();
    return value;
  }
  while (p < text.size() && text[p] != '"' && text[p] != '\n') {
    if (text[p] == '\\' && p + 1 < text.size()) {
      const char e = text[p + 1];
      value += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
      p += 2;
    } else {
      value += text[p++];
    }
  }
  *pos = p + 1;
  return value;
}

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> tokens;
  int line = 1;
  bool lineStart = true;
  std::size_t p = 0;
  while (p < text.size()) {
    const char c = text[p];
    if (c == '\n') {
      ++line;
      ++p;
      lineStart = true;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++p;
    } else if (c == '#' && lineStart) {  // preprocessor lines hold no lookups
      while (p < text.size() && text[p] != '\n') {
        if (text[p] == '\\' && p + 1 < text.size() && text[p + 1] == '\n') ++line;
        p += text[p] == '\\' ? 2 : 1;
      }
    } else if (text.substr(p, 2) == "//") {
      p = text.find('\n', p);
      if (p == std::string_view::npos) p = text.size();
    } else if (text.substr(p, 2) == "/*") {
      std::size_t end = text.find("*/", p + 2);
      end = end == std::string_view::npos ? text.size() : end + 2;
      for (std::size_t i = p; i < end; ++i) line += text[i] == '\n' ? 1 : 0;
      p = end;
    } else if (c == '"') {
      const int at = line;
      tokens.push_back({Kind::String, ReadQuoted(text, &p, false, &line), at});
      lineStart = false;
    } else if (c == '\'') {
      std::size_t end = p + 1;
      while (end < text.size() && text[end] != '\'' && text[end] != '\n') {
        end += text[end] == '\\' ? 2 : 1;
      }
      tokens.push_back({Kind::Other, "'", line});
      p = end + 1;
    } else if (IsNameChar(c)) {
      std::size_t end = p;
      while (end < text.size() && IsNameChar(text[end])) ++end;
      std::string word(text.substr(p, end - p));
      p = end;
      const bool prefix = word == "R" || word == "u8" || word == "u" || word == "U" ||
                          word == "L" || word == "u8R" || word == "uR" || word == "UR" ||
                          word == "LR";
      if (prefix && p < text.size() && text[p] == '"') {
        const int at = line;
        tokens.push_back({Kind::String, ReadQuoted(text, &p, word.back() == 'R', &line), at});
      } else {
        const bool number = std::isdigit(static_cast<unsigned char>(word[0]));
        tokens.push_back({number ? Kind::Other : Kind::Name, word, line});
      }
    } else {
      tokens.push_back({Kind::Punct, std::string(1, c), line});
      ++p;
    }
    if (c != '\n' && !std::isspace(static_cast<unsigned char>(c))) lineStart = false;
  }
  return tokens;
}

bool Is(const std::vector<Token>& t, std::size_t i, std::string_view text) {
  return i < t.size() && t[i].kind != Kind::String && t[i].text == text;
}

// The index of the bracket closing the one at open; t.size() when there is none.
std::size_t Closing(const std::vector<Token>& t, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < t.size(); ++i) {
    if (t[i].kind != Kind::Punct) continue;
    const char c = t[i].text[0];
    depth += (c == '(' || c == '[' || c == '{') ? 1 : (c == ')' || c == ']' || c == '}') ? -1 : 0;
    if (depth == 0) return i;
  }
  return t.size();
}

// The first token of [begin, end) at bracket depth 0 that is text; end when none is.
std::size_t TopLevel(const std::vector<Token>& t, std::size_t begin, std::size_t end,
                     std::string_view text) {
  int depth = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (t[i].kind != Kind::Punct) continue;
    const char c = t[i].text[0];
    if (depth == 0 && t[i].text == text) return i;
    depth += (c == '(' || c == '[' || c == '{') ? 1 : (c == ')' || c == ']' || c == '}') ? -1 : 0;
  }
  return end;
}

// The literals an expression may give: one literal, or a conditional between such.
bool Alternatives(const std::vector<Token>& t, std::size_t begin, std::size_t end,
                  std::vector<std::string>* keys) {
  const std::size_t question = TopLevel(t, begin, end, "?");
  if (question != end) {
    // The ':' that pairs with this '?', past any conditionals nested in the first branch.
    int open = 0;
    std::size_t colon = question + 1;
    for (int depth = 0; colon < end; ++colon) {
      if (t[colon].kind != Kind::Punct) continue;
      const char c = t[colon].text[0];
      depth += (c == '(' || c == '[' || c == '{') ? 1 : (c == ')' || c == ']' || c == '}') ? -1 : 0;
      if (depth != 0) continue;
      if (c == '?') ++open;
      if (c == ':' && open-- == 0) break;
    }
    return colon < end && Alternatives(t, question + 1, colon, keys) &&
           Alternatives(t, colon + 1, end, keys);
  }
  if (begin == end) return false;
  std::string key;
  for (std::size_t i = begin; i < end; ++i) {  // "a" "b" is one literal
    if (t[i].kind != Kind::String) return false;
    key += t[i].text;
  }
  keys->push_back(key);
  return true;
}

struct Lookups {
  std::map<std::string, std::string> units;  // object -> section
  std::set<std::string> sections;            // objects that take the section first
};

// The lookup objects declared in one file.
Lookups Declarations(const std::vector<Token>& t, const std::string& file,
                     std::vector<std::string>* errors) {
  Lookups found;
  for (std::size_t i = 0; i + 2 < t.size(); ++i) {
    if (t[i + 1].kind != Kind::Name) continue;
    if (Is(t, i, "UnitTexts") && (Is(t, i + 2, "(") || Is(t, i + 2, "{"))) {
      if (i + 4 < t.size() && t[i + 3].kind == Kind::String &&
          (Is(t, i + 4, ")") || Is(t, i + 4, "}"))) {
        found.units[t[i + 1].text] = t[i + 3].text;
      } else {
        errors->push_back(file + ":" + std::to_string(t[i].line) + ": the section of " +
                          t[i + 1].text + " is not a literal");
      }
    } else if (Is(t, i, "SectionTexts")) {
      found.sections.insert(t[i + 1].text);
    }
  }
  return found;
}

void ScanFile(const std::vector<Token>& t, const std::string& file, const Lookups& lookups,
              std::vector<TextKeyUse>* uses, std::vector<std::string>* errors) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Kind::Name) continue;
    const std::string& name = t[i].text;
    const auto unit = lookups.units.find(name);
    const bool sectionFirst = name == "HostText" || lookups.sections.count(name) != 0;
    if (unit == lookups.units.end() && !sectionFirst) continue;
    if (i > 0 && (Is(t, i - 1, "UnitTexts") || Is(t, i - 1, "SectionTexts"))) continue;
    const std::string where = file + ":" + std::to_string(t[i].line);
    std::size_t open = i + 1;
    if (unit != lookups.units.end() && Is(t, i + 1, ".") && Is(t, i + 2, "section")) continue;
    if (unit != lookups.units.end() && Is(t, i + 1, ".") && Is(t, i + 2, "HostHas")) open = i + 3;
    if (!Is(t, open, "(")) {
      errors->push_back(where + ": " + name + " is used in a way the scan cannot follow");
      continue;
    }
    const std::size_t close = Closing(t, open);
    std::size_t keyBegin = open + 1;
    std::string section;
    if (unit != lookups.units.end()) {
      section = unit->second;
    } else {
      const std::size_t comma = TopLevel(t, open + 1, close, ",");
      if (comma != open + 2 || t[open + 1].kind != Kind::String) {
        errors->push_back(where + ": the section asked of " + name + " is not a literal");
        continue;
      }
      section = t[open + 1].text;
      keyBegin = comma + 1;
    }
    std::vector<std::string> keys;
    if (!Alternatives(t, keyBegin, close, &keys)) {
      errors->push_back(where + ": the key asked of " + name + " is not a literal");
      continue;
    }
    const bool formatted = i >= 2 && Is(t, i - 1, "(") && Is(t, i - 2, "FormatTemplate");
    for (const std::string& key : keys) uses->push_back({section, key, formatted, where});
  }
}

std::string Stem(const std::string& file) {
  return file.substr(0, file.rfind('.'));
}

}  // namespace

TextKeyScan ScanTextLookups(const std::map<std::string, std::string>& sources) {
  TextKeyScan scan;
  std::map<std::string, std::vector<Token>> tokens;
  std::map<std::string, Lookups> declared;
  for (const auto& [file, text] : sources) {
    tokens[file] = Tokenize(text);
    declared[file] = Declarations(tokens[file], file, &scan.errors);
  }
  std::set<std::tuple<std::string, std::string, bool>> seen;
  for (const auto& [file, fileTokens] : tokens) {
    Lookups visible = declared[file];
    for (const auto& [other, lookups] : declared) {  // the header of the same name
      if (other == file || Stem(other) != Stem(file)) continue;
      visible.units.insert(lookups.units.begin(), lookups.units.end());
      visible.sections.insert(lookups.sections.begin(), lookups.sections.end());
    }
    std::vector<TextKeyUse> uses;
    ScanFile(fileTokens, file, visible, &uses, &scan.errors);
    for (TextKeyUse& use : uses) {
      if (seen.insert({use.section, use.key, use.formatted}).second) {
        scan.uses.push_back(std::move(use));
      }
    }
  }
  return scan;
}

}  // namespace hrztest
