#include "rc_lexer.h"

#include <cctype>
#include <cstdlib>

namespace hrz {
namespace {

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
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
  if (line.substr(0, 6) != "define") return true;  // #include, #if...: not ours to follow
  line.remove_prefix(6);
  std::size_t p = 0;
  auto skip = [&] {
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t' || line[p] == '\r')) ++p;
  };
  skip();
  std::size_t nameStart = p;
  while (p < line.size() && IsNameChar(line[p])) ++p;
  std::string name(line.substr(nameStart, p - nameStart));
  skip();
  std::size_t valueStart = p;
  while (p < line.size() && !std::isspace(static_cast<unsigned char>(line[p]))) ++p;
  std::string_view value = line.substr(valueStart, p - valueStart);
  std::int64_t number = 0;
  if (name.empty() || !IsNameStart(name[0])) {
    *error = Invalid("#define without a name");
    return false;
  }
  if (ParseNumber(value, &number)) {
    defines_[name] = number;
  } else if (auto it = defines_.find(std::string(value)); it != defines_.end()) {
    defines_[name] = it->second;
  } else {
    *error = Invalid("#define " + name + " needs a number");
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
