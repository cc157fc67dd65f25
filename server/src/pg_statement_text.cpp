#include "pg_statement_text.h"

#include <vector>

#include "hrzcommon/text.h"

namespace hrzsrv {
namespace {

// PostgreSQL takes at most this many parameters in one statement.
constexpr long kMaxParameter = 65535;

enum class TokenKind { kWord, kQuotedName, kOther };

struct Token {
  TokenKind kind;
  std::size_t begin, end;  // in the translated text
};

bool IsWordStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}

bool IsWordChar(char c) {
  return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Walks sql once, copying it to out->text with placeholders rewritten, and lists the tokens
// that are not comments or literals' contents.
class Scanner {
 public:
  Scanner(std::string_view sql, PgStatementText* out) : sql_(sql), out_(out) {}

  bool Run(std::string* error) {
    while (pos_ < sql_.size()) {
      const char c = sql_[pos_];
      const char next = pos_ + 1 < sql_.size() ? sql_[pos_ + 1] : '\0';
      if (c == '\'') {
        if (!Quoted('\'', false, "a string literal", error)) return false;
      } else if (c == '"') {
        const std::size_t begin = out_->text.size();
        if (!Quoted('"', false, "a quoted name", error)) return false;
        tokens_.push_back({TokenKind::kQuotedName, begin, out_->text.size()});
      } else if (c == '-' && next == '-') {
        const std::size_t eol = sql_.find('\n', pos_);
        Copy((eol == std::string_view::npos ? sql_.size() : eol) - pos_);
      } else if (c == '/' && next == '*') {
        if (!BlockComment(error)) return false;
      } else if (c == '$' && !IsDigit(next)) {
        if (!DollarQuoted(error)) return false;
      } else if (c == '?') {
        if (!Placeholder(error)) return false;
      } else if (IsWordStart(c)) {
        if (!Word(error)) return false;
      } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
        Copy(1);
      } else {
        const std::size_t begin = out_->text.size();
        Copy(1);
        tokens_.push_back({TokenKind::kOther, begin, out_->text.size()});
      }
    }
    return true;
  }

  const std::vector<Token>& tokens() const { return tokens_; }

 private:
  void Copy(std::size_t count) {
    out_->text.append(sql_.substr(pos_, count));
    pos_ += count;
  }

  static bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
  }

  // A quote closed by the same character, doubled inside; with backslash escapes too in an
  // E'...' literal.
  bool Quoted(char quote, bool backslashes, const char* what, std::string* error) {
    std::size_t at = pos_ + 1;
    while (at < sql_.size()) {
      if (backslashes && sql_[at] == '\\') {
        at += 2;
      } else if (sql_[at] == quote && at + 1 < sql_.size() && sql_[at + 1] == quote) {
        at += 2;
      } else if (sql_[at] == quote) {
        Copy(at + 1 - pos_);
        return true;
      } else {
        ++at;
      }
    }
    return Fail(error, std::string(what) + " is not closed");
  }

  // PostgreSQL's block comments nest.
  bool BlockComment(std::string* error) {
    std::size_t at = pos_ + 2;
    int depth = 1;
    while (at + 1 < sql_.size() && depth > 0) {
      if (sql_[at] == '/' && sql_[at + 1] == '*') {
        ++depth;
        at += 2;
      } else if (sql_[at] == '*' && sql_[at + 1] == '/') {
        --depth;
        at += 2;
      } else {
        ++at;
      }
    }
    if (depth > 0) return Fail(error, "a comment is not closed");
    Copy(at - pos_);
    return true;
  }

  // $tag$ ... $tag$; a lone "$" is left to the server.
  bool DollarQuoted(std::string* error) {
    std::size_t at = pos_ + 1;
    while (at < sql_.size() && IsWordChar(sql_[at]) && sql_[at] != '$') ++at;
    if (at >= sql_.size() || sql_[at] != '$') {
      const std::size_t begin = out_->text.size();
      Copy(1);
      tokens_.push_back({TokenKind::kOther, begin, out_->text.size()});
      return true;
    }
    const std::string_view tag = sql_.substr(pos_, at + 1 - pos_);
    const std::size_t close = sql_.find(tag, at + 1);
    if (close == std::string_view::npos) return Fail(error, "a dollar-quoted text is not closed");
    const std::size_t begin = out_->text.size();
    Copy(close + tag.size() - pos_);
    tokens_.push_back({TokenKind::kOther, begin, out_->text.size()});
    return true;
  }

  // "?N" keeps its number; a bare "?" takes one more than the highest so far.
  bool Placeholder(std::string* error) {
    std::size_t at = pos_ + 1;
    long number = 0;
    while (at < sql_.size() && IsDigit(sql_[at]) && number <= kMaxParameter) {
      number = number * 10 + (sql_[at] - '0');
      ++at;
    }
    const bool numbered = at > pos_ + 1;
    if ((numbered && sawBare_) || (!numbered && sawNumbered_)) {
      return Fail(error, "a statement binds its values either with ? or with ?N, not both");
    }
    if (numbered && (number < 1 || number > kMaxParameter)) {
      return Fail(error, "a placeholder number is out of range (1 to 65535)");
    }
    (numbered ? sawNumbered_ : sawBare_) = true;
    if (!numbered) number = out_->parameters + 1;
    if (number > kMaxParameter) return Fail(error, "a statement has too many placeholders");
    if (number > out_->parameters) out_->parameters = static_cast<int>(number);
    const std::size_t begin = out_->text.size();
    out_->text += "$" + std::to_string(number);
    pos_ = at;
    tokens_.push_back({TokenKind::kOther, begin, out_->text.size()});
    return true;
  }

  bool Word(std::string* error) {
    std::size_t at = pos_;
    while (at < sql_.size() && IsWordChar(sql_[at])) ++at;
    const std::size_t begin = out_->text.size();
    const bool escapes = at == pos_ + 1 && (sql_[pos_] == 'E' || sql_[pos_] == 'e') &&
                         at < sql_.size() && sql_[at] == '\'';
    Copy(at - pos_);
    tokens_.push_back({TokenKind::kWord, begin, out_->text.size()});
    return !escapes || Quoted('\'', true, "a string literal", error);
  }

  std::string_view sql_;
  PgStatementText* out_;
  std::size_t pos_ = 0;
  std::vector<Token> tokens_;
  bool sawBare_ = false, sawNumbered_ = false;
};

class InsertReader {
 public:
  InsertReader(const std::vector<Token>& tokens, PgStatementText* out)
      : tokens_(tokens), out_(out) {}

  void Read() {
    std::size_t last = tokens_.size();
    while (last > 0 && Is(last - 1, ";")) --last;
    if (last == 0) return;
    out_->end = tokens_[last - 1].end;
    int depth = 0;
    for (std::size_t i = 0; i < last; ++i) {
      if (Is(i, "(")) ++depth;
      if (Is(i, ")")) --depth;
      if (depth == 0 && IsWord(i, "RETURNING")) out_->returning = true;
    }
    if (!IsWord(0, "INSERT") || !IsWord(1, "INTO") || !IsName(2)) return;
    std::size_t at = 3;
    if (Is(at, ".") && IsName(at + 1)) at += 2;
    out_->insertTable = out_->text.substr(tokens_[2].begin, tokens_[at - 1].end - tokens_[2].begin);
    if (IsWord(at, "AS")) at += 2;
    if (!Is(at, "(")) {
      out_->insertOwnNid = !IsWord(at, "DEFAULT");
      return;
    }
    for (++at; at < tokens_.size() && !Is(at, ")"); ++at) {
      if (IsNid(at)) out_->insertOwnNid = true;
    }
  }

 private:
  std::string_view Text(std::size_t i) const {
    return std::string_view(out_->text).substr(tokens_[i].begin, tokens_[i].end - tokens_[i].begin);
  }
  bool Is(std::size_t i, std::string_view text) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::kOther && Text(i) == text;
  }
  bool IsWord(std::size_t i, std::string_view word) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::kWord &&
           hrz::EqualsNoCase(Text(i), word);
  }
  bool IsName(std::size_t i) const {
    return i < tokens_.size() && tokens_[i].kind != TokenKind::kOther;
  }
  // NID as the server folds it: unquoted in any case, or quoted in lower case.
  bool IsNid(std::size_t i) const {
    return IsWord(i, "NID") || (i < tokens_.size() && tokens_[i].kind == TokenKind::kQuotedName &&
                                Text(i) == "\"nid\"");
  }

  const std::vector<Token>& tokens_;
  PgStatementText* out_;
};

}  // namespace

bool TranslateForPostgres(std::string_view sql, PgStatementText* out, std::string* error) {
  *out = PgStatementText{};
  out->text.reserve(sql.size() + 8);
  Scanner scanner(sql, out);
  if (!scanner.Run(error)) return false;
  InsertReader(scanner.tokens(), out).Read();
  return true;
}

}  // namespace hrzsrv
