#include "rc_lexer.h"

#include <algorithm>
#include <cctype>

namespace hrz {
namespace {

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}
std::size_t SkipBlanks(std::string_view line, std::size_t p) {
  while (p < line.size() && IsBlank(line[p])) ++p;
  return p;
}
// What may follow a directive on its line.
bool OnlyComment(std::string_view rest) {
  return rest.empty() || rest.substr(0, 2) == "//";
}

// Decimal or 0x hexadecimal, with an optional L or U suffix. False when not a whole number
// or out of the 32-bit range.
bool ParseNumber(std::string_view text, std::int64_t* value) {
  while (!text.empty() &&
         (text.back() == 'L' || text.back() == 'l' || text.back() == 'U' || text.back() == 'u')) {
    text.remove_suffix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 10) return false;
  std::int64_t result = 0;
  for (char c : text) {
    int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
                    ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                    : -1;
    if (digit < 0) return false;
    result = result * base + digit;
  }
  if (result > 0xffffffffLL) return false;
  *value = result;
  return true;
}

}  // namespace

bool RcPreprocessor::Lookup(const std::string& name, std::int64_t* value) const {
  if (auto it = defines.find(name); it != defines.end()) {
    *value = it->second;
    return true;
  }
  if (builtins == nullptr) return false;
  auto it = builtins->find(name);
  if (it == builtins->end()) return false;
  *value = it->second;
  return true;
}

Token RcLexer::Invalid(const std::string& message) const {
  Token token;
  token.kind = TokenKind::Invalid;
  token.text = message;
  token.line = line_;
  return token;
}

const Token& RcLexer::Peek() {
  if (!peeked_) {
    peek_ = Scan();
    peeked_ = true;
  }
  return peek_;
}

Token RcLexer::Next() {
  if (peeked_) {
    peeked_ = false;
    return peek_;
  }
  return Scan();
}

bool RcLexer::Preprocessor(Token* error) {
  std::size_t end = text_.find('\n', pos_);
  if (end == std::string_view::npos) end = text_.size();
  std::string_view line = text_.substr(pos_ + 1, end - pos_ - 1);
  pos_ = end;
  std::size_t p = SkipBlanks(line, 0);
  std::size_t nameEnd = p;
  while (nameEnd < line.size() && IsNameChar(line[nameEnd])) ++nameEnd;
  std::string_view directive = line.substr(p, nameEnd - p);
  std::string_view rest = line.substr(nameEnd);
  if (directive == "define") return Define(rest, error);
  if (directive == "include") return Include(rest, error);
  if (directive == "pragma") return true;  // "#pragma once" of the headers C++ shares
  *error = Invalid("unsupported directive #" + std::string(directive));
  return false;
}

bool RcLexer::Define(std::string_view line, Token* error) {
  std::size_t p = SkipBlanks(line, 0);
  std::size_t nameStart = p;
  while (p < line.size() && IsNameChar(line[p])) ++p;
  std::string name(line.substr(nameStart, p - nameStart));
  if (name.empty() || !IsNameStart(name[0])) {
    *error = Invalid("#define without a name");
    return false;
  }
  p = SkipBlanks(line, p);
  std::size_t valueStart = p;
  while (p < line.size() && !IsBlank(line[p]) && line[p] != '/') ++p;
  std::string_view value = line.substr(valueStart, p - valueStart);
  if (!OnlyComment(line.substr(SkipBlanks(line, p)))) {
    *error = Invalid("unexpected text after #define " + name);
    return false;
  }
  const bool negative = !value.empty() && value[0] == '-';
  std::int64_t number = 0;
  if (ParseNumber(negative ? value.substr(1) : value, &number)) {
    if (negative) number = -number;
  } else if (!preprocessor_->Lookup(std::string(value), &number)) {
    *error = Invalid("#define " + name + " needs a number");
    return false;
  }
  std::int64_t known = 0;
  if (preprocessor_->Lookup(name, &known) && known != number) {
    *error = Invalid(name + " is defined as " + std::to_string(known) + " already");
    return false;
  }
  preprocessor_->defines[name] = number;
  return true;
}

bool RcLexer::Include(std::string_view line, Token* error) {
  std::size_t open = SkipBlanks(line, 0);
  if (open < line.size() && line[open] == '<') {
    *error = Invalid("#include <...> is not read: include the script's own header in quotes");
    return false;
  }
  std::size_t close =
      open < line.size() && line[open] == '"' ? line.find('"', open + 1) : std::string_view::npos;
  if (close == std::string_view::npos || close == open + 1) {
    *error = Invalid("#include needs a file name in quotes");
    return false;
  }
  std::string name(line.substr(open + 1, close - open - 1));
  if (!OnlyComment(line.substr(SkipBlanks(line, close + 1)))) {
    *error = Invalid("unexpected text after #include \"" + name + "\"");
    return false;
  }
  // Beside the including file first, then at the top of the set, as a compiler looks.
  std::vector<std::string>& reading = preprocessor_->reading;
  const std::string includer = reading.empty() ? std::string() : reading.back();
  const std::string beside = includer.substr(0, includer.rfind('/') + 1) + name;
  const ScriptFiles* files = preprocessor_->files;
  auto found = files == nullptr ? ScriptFiles::const_iterator() : files->find(beside);
  if (files != nullptr && found == files->end()) found = files->find(name);
  if (files == nullptr || found == files->end()) {
    *error = Invalid("cannot include " + name + ": no such file");
    return false;
  }
  if (std::find(reading.begin(), reading.end(), found->first) != reading.end()) {
    std::string cycle;
    for (const std::string& file : reading) cycle += file + " -> ";
    *error = Invalid("#include cycle: " + cycle + found->first);
    return false;
  }
  reading.push_back(found->first);
  RcLexer included(found->second, preprocessor_);
  Token token = included.Next();
  reading.pop_back();
  if (token.kind == TokenKind::Invalid) {
    *error = Invalid(found->first + ": line " + std::to_string(token.line) + ": " + token.text);
    return false;
  }
  if (token.kind != TokenKind::End) {
    *error = Invalid(found->first + ": line " + std::to_string(token.line) +
                     ": an included file may hold only preprocessor lines");
    return false;
  }
  return true;
}

bool RcLexer::SkipBlanksAndComments(Token* error) {
  while (pos_ < text_.size()) {
    char c = text_[pos_];
    if (c == '\n') {
      ++line_;
      ++pos_;
      lineStart_ = true;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      ++pos_;
    } else if (c == '#' && lineStart_) {
      if (!Preprocessor(error)) return false;
    } else if (text_.substr(pos_, 2) == "//") {
      std::size_t end = text_.find('\n', pos_);
      pos_ = end == std::string_view::npos ? text_.size() : end;
    } else if (text_.substr(pos_, 2) == "/*") {
      std::size_t end = text_.find("*/", pos_ + 2);
      if (end == std::string_view::npos) {
        *error = Invalid("comment is not closed");
        return false;
      }
      for (std::size_t i = pos_; i < end; ++i) line_ += text_[i] == '\n' ? 1 : 0;
      pos_ = end + 2;
    } else {
      return true;
    }
  }
  return true;
}

Token RcLexer::Scan() {
  Token error;
  if (!SkipBlanksAndComments(&error)) return error;
  lineStart_ = false;
  Token token;
  token.line = line_;
  if (pos_ >= text_.size()) return token;
  char c = text_[pos_];
  if (c == ',' || c == '|' || c == '+' || c == '-') {
    ++pos_;
    token.kind = c == ','   ? TokenKind::Comma
                 : c == '|' ? TokenKind::Bar
                 : c == '+' ? TokenKind::Plus
                            : TokenKind::Minus;
    return token;
  }
  if (c == '{' || c == '}') {
    ++pos_;
    token.kind = TokenKind::Name;
    token.text = c == '{' ? "BEGIN" : "END";
    return token;
  }
  if (c == '"') {
    ++pos_;
    token.kind = TokenKind::String;
    while (true) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') return Invalid("text is not closed");
      char s = text_[pos_++];
      if (s == '"') {
        if (pos_ < text_.size() && text_[pos_] == '"') {  // "" stands for one quote
          token.text += '"';
          ++pos_;
          continue;
        }
        return token;
      }
      if (s == '\\' && pos_ < text_.size()) {
        char e = text_[pos_++];
        token.text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        continue;
      }
      token.text += s;
    }
  }
  if (std::isdigit(static_cast<unsigned char>(c))) {
    std::size_t start = pos_;
    while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    token.kind = TokenKind::Number;
    if (!ParseNumber(text_.substr(start, pos_ - start), &token.value)) {
      return Invalid("bad number " + std::string(text_.substr(start, pos_ - start)));
    }
    return token;
  }
  if (IsNameStart(c)) {
    std::size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    token.kind = TokenKind::Name;
    token.text = std::string(text_.substr(start, pos_ - start));
    return token;
  }
  ++pos_;
  return Invalid(std::string("unexpected character '") + c + "'");
}

}  // namespace hrz
