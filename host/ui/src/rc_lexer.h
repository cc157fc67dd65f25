// Tokens of the resource-script subset: numbers, names, strings and punctuation.
// "#define NAME value" lines are collected; other preprocessor lines are skipped.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace hrz {

enum class TokenKind { Number, Name, String, Comma, Bar, Plus, Minus, End, Invalid };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;        // name or string contents; the message for Invalid
  std::int64_t value = 0;  // Number
  int line = 1;
};

class RcLexer {
 public:
  explicit RcLexer(std::string_view text) : text_(text) {}

  Token Next();
  const Token& Peek();
  const std::map<std::string, std::int64_t>& Defines() const { return defines_; }

 private:
  Token Scan();
  bool SkipBlanksAndComments(Token* error);
  bool Preprocessor(Token* error);
  Token Invalid(const std::string& message) const;

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
  bool lineStart_ = true;
  bool peeked_ = false;
  Token peek_;
  std::map<std::string, std::int64_t> defines_;
};

}  // namespace hrz
