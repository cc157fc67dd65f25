// Tokens of the resource-script subset: numbers, names, strings and punctuation.
// Preprocessor lines: "#define NAME value" names a number, "#include "file"" reads the
// #define lines of another file of the set, "#pragma" is ignored; any other is an error.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dialog_template.h"

namespace hrz {

enum class TokenKind { Number, Name, String, Comma, Bar, Plus, Minus, End, Invalid };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;        // name or string contents; the message for Invalid
  std::int64_t value = 0;  // Number
  int line = 1;
};

using NameTable = std::unordered_map<std::string, std::int64_t>;

// What the lexers of one script and of the files it includes share.
struct RcPreprocessor {
  const ScriptFiles* files = nullptr;           // what #include may read; null: nothing
  const NameTable* builtins = nullptr;          // names every script knows without a #define
  std::map<std::string, std::int64_t> defines;  // by #define, in every file read so far
  std::vector<std::string> reading;             // names of the files being read, outermost first

  // The value of a defined or built-in name; false when it has none.
  bool Lookup(const std::string& name, std::int64_t* value) const;
};

class RcLexer {
 public:
  // The preprocessor outlives the lexer; its reading list names this text last.
  RcLexer(std::string_view text, RcPreprocessor* preprocessor)
      : text_(text), preprocessor_(preprocessor) {}

  Token Next();
  const Token& Peek();

 private:
  Token Scan();
  bool SkipBlanksAndComments(Token* error);
  bool Preprocessor(Token* error);
  bool Define(std::string_view line, Token* error);
  bool Include(std::string_view line, Token* error);
  Token Invalid(const std::string& message) const;

  std::string_view text_;
  RcPreprocessor* preprocessor_;
  std::size_t pos_ = 0;
  int line_ = 1;
  bool lineStart_ = true;
  bool peeked_ = false;
  Token peek_;
};

}  // namespace hrz
