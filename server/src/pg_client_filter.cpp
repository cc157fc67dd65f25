#include "pg_client_filter.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "hrzcommon/text.h"

namespace hrzsrv {
namespace {

// The statements client SQL is made of; PostgreSQL also takes a query in parentheses.
constexpr std::array<std::string_view, 6> kStatements = {"select", "insert", "update",
                                                         "delete", "with",   "values"};

// Names of the server's own: its private schema and tables, and the catalogue, which tells
// about roles, settings and other sessions. SQLite's authorizer refuses its counterparts.
constexpr std::array<std::string_view, 5> kPrivatePrefixes = {"srv_", "sqlite_", "pg_",
                                                              "hrz_private", "information_schema"};

// Functions that change the session or the numbering, reach files or large objects, or run
// SQL handed to them as text, past these checks.
constexpr std::array<std::string_view, 9> kRefusedFunctions = {"set_config", "nextval", "setval",
                                                               "currval",    "lastval", "ts_stat",
                                                               "ts_rewrite", "dblink",  "lo_"};
constexpr std::array<std::string_view, 3> kRefusedFunctionSuffixes = {"_to_xml", "_to_xmlschema",
                                                                      "_to_xml_and_xmlschema"};

struct Token {
  enum Kind { kWord, kQuotedName, kSymbol } kind;
  std::string text;  // as written; a quoted name without its quotes
};

bool IsWordStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || c == '_' || u >= 0x80;
}

bool IsWordPart(char c) {
  return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$';
}

// Splits text into words, quoted names and symbols, skipping blanks, comments and literals.
// Nullopt when the text holds U&"..." or U&'...', whose escapes could hide a name's letters.
class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  std::optional<std::vector<Token>> Tokens() {
    std::vector<Token> tokens;
    while (SkipBlanksAndComments()) {
      const char c = text_[at_];
      if (c == '\'') {
        SkipString(false);
      } else if (c == '"') {
        tokens.push_back({Token::kQuotedName, QuotedName()});
      } else if (c == '$' && SkipDollarQuoted()) {
        continue;
      } else if (AtEscapedText()) {
        return std::nullopt;
      } else if (IsWordStart(c)) {
        std::string word = Word();
        if (at_ < text_.size() && text_[at_] == '\'') {  // E'...', B'...', X'...', N'...'
          SkipString(hrz::EqualsNoCase(word, "e"));
          continue;
        }
        tokens.push_back({Token::kWord, std::move(word)});
      } else {
        tokens.push_back({Token::kSymbol, std::string(1, c)});
        ++at_;
      }
    }
    return tokens;
  }

 private:
  // False at the end of the text.
  bool SkipBlanksAndComments() {
    while (at_ < text_.size()) {
      const char c = text_[at_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++at_;
      } else if (text_.substr(at_, 2) == "--") {
        const std::size_t end = text_.find('\n', at_);
        at_ = end == std::string_view::npos ? text_.size() : end;
      } else if (text_.substr(at_, 2) == "/*") {
        int depth = 0;  // PostgreSQL's block comments nest
        do {
          if (text_.substr(at_, 2) == "/*") {
            ++depth;
            at_ += 2;
          } else if (text_.substr(at_, 2) == "*/") {
            --depth;
            at_ += 2;
          } else {
            ++at_;
          }
        } while (depth > 0 && at_ < text_.size());
      } else {
        return true;
      }
    }
    return false;
  }

  void SkipString(bool backslashEscapes) {
    for (++at_; at_ < text_.size(); ++at_) {
      if (backslashEscapes && text_[at_] == '\\') {
        ++at_;
      } else if (text_[at_] == '\'') {
        if (at_ + 1 < text_.size() && text_[at_ + 1] == '\'') {
          ++at_;
        } else {
          ++at_;
          return;
        }
      }
    }
  }

  std::string QuotedName() {
    std::string name;
    for (++at_; at_ < text_.size(); ++at_) {
      if (text_[at_] != '"') {
        name += text_[at_];
      } else if (at_ + 1 < text_.size() && text_[at_ + 1] == '"') {
        name += '"';
        ++at_;
      } else {
        ++at_;
        break;
      }
    }
    return name;
  }

  // $tag$ ... $tag$; false (nothing skipped) when the dollar starts no quote, as in $1.
  bool SkipDollarQuoted() {
    std::size_t end = at_ + 1;
    if (end < text_.size() && IsWordStart(text_[end])) {
      while (end < text_.size() && IsWordPart(text_[end]) && text_[end] != '$') ++end;
    }
    if (end >= text_.size() || text_[end] != '$') return false;
    const std::string_view tag = text_.substr(at_, end - at_ + 1);
    const std::size_t close = text_.find(tag, end + 1);
    at_ = close == std::string_view::npos ? text_.size() : close + tag.size();
    return true;
  }

  std::string Word() {
    const std::size_t start = at_;
    while (at_ < text_.size() && IsWordPart(text_[at_])) ++at_;
    return std::string(text_.substr(start, at_ - start));
  }

  // U&'...' and U&"...": literals and names spelt with escapes.
  bool AtEscapedText() const {
    return (text_[at_] == 'u' || text_[at_] == 'U') && text_.substr(at_ + 1, 1) == "&" &&
           (text_.substr(at_ + 2, 1) == "'" || text_.substr(at_ + 2, 1) == "\"");
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

bool IsPrivateName(std::string_view name) {
  for (std::string_view prefix : kPrivatePrefixes) {
    if (hrz::StartsWithNoCase(name, prefix)) return true;
  }
  return false;
}

bool IsRefusedFunction(std::string_view name) {
  const std::string lower = hrz::LowerAscii(name);
  for (std::string_view refused : kRefusedFunctions) {
    if (lower.rfind(refused, 0) == 0) return true;
  }
  for (std::string_view suffix : kRefusedFunctionSuffixes) {
    if (lower.size() > suffix.size() && lower.ends_with(suffix)) return true;
  }
  return false;
}

PgClientSqlCheck Refused(std::string text, bool audited = true) {
  return {std::move(text), audited};
}

}  // namespace

PgClientSqlCheck CheckPgClientSql(std::string_view sql) {
  const std::optional<std::vector<Token>> tokens = Lexer(sql).Tokens();
  if (!tokens) return Refused("refused: names written with U& escapes are not client SQL");
  std::size_t end = tokens->size();
  for (std::size_t i = 0; i < tokens->size(); ++i) {
    if ((*tokens)[i].text != ";" || (*tokens)[i].kind != Token::kSymbol) continue;
    for (std::size_t j = i + 1; j < tokens->size(); ++j) {
      if ((*tokens)[j].text != ";") return Refused("one statement per request", false);
    }
    end = i;
    break;
  }
  if (end == 0) return Refused("empty SQL", false);
  const Token& first = tokens->front();
  const bool statement =
      (first.kind == Token::kSymbol && first.text == "(") ||
      (first.kind == Token::kWord && std::find(kStatements.begin(), kStatements.end(),
                                               hrz::LowerAscii(first.text)) != kStatements.end());
  if (!statement) {
    return Refused("refused: " + hrz::UpperAscii(first.text) +
                   " is not client SQL: a request runs one SELECT, INSERT, UPDATE or DELETE, "
                   "which commits on its own");
  }
  for (std::size_t i = 0; i < end; ++i) {
    const Token& token = (*tokens)[i];
    if (token.kind == Token::kSymbol) continue;
    if (IsPrivateName(token.text)) return Refused("access to " + token.text + " is prohibited");
    const bool call = i + 1 < end && (*tokens)[i + 1].text == "(";
    if (call && IsRefusedFunction(token.text)) {
      return Refused("refused: the function " + hrz::LowerAscii(token.text) +
                     " is not client SQL: it changes the session or the numbering, or reaches "
                     "past the organisation tables");
    }
  }
  return {};
}

}  // namespace hrzsrv
