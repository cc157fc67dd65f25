#include "support/text.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace hrz {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool ContinuesCharacter(char c) {
  return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}
char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

void TrimBlanksInPlace(char* text) {
  if (text == nullptr) return;
  std::string_view trimmed = TrimBlanks(text);
  std::memmove(text, trimmed.data(), trimmed.size());
  text[trimmed.size()] = '\0';
}

bool ParseWholeNumber(std::string_view text, long long* value) {
  std::size_t i = 0;
  bool negative = false;
  while (i < text.size() && (text[i] == '+' || text[i] == '-' || IsBlank(text[i]))) {
    negative = negative || text[i] == '-';
    ++i;
  }
  if (i == text.size()) return false;
  unsigned long long magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    unsigned digit = static_cast<unsigned>(text[i] - '0');
    magnitude = magnitude > (ULLONG_MAX - digit) / 10 ? ULLONG_MAX : magnitude * 10 + digit;
  }
  if (value != nullptr) {
    constexpr auto kMax = static_cast<unsigned long long>(LLONG_MAX);
    long long v = static_cast<long long>(std::min(magnitude, kMax));
    *value = negative ? -v : v;
  }
  return true;
}

bool IsWholeNumber(std::string_view text) {
  return ParseWholeNumber(text, nullptr);
}

std::vector<std::string_view> SplitText(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

bool CopyBounded(char* dst, std::size_t capacity, std::string_view src) {
  if (dst == nullptr || capacity == 0) return false;
  std::size_t n = std::min(src.size(), capacity - 1);
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
  return n == src.size();
}

std::size_t CountCodePoints(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return !ContinuesCharacter(c); }));
}

std::string_view FirstCodePoints(std::string_view utf8, std::size_t maxCodePoints) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (!ContinuesCharacter(utf8[i]) && characters++ == maxCodePoints) return utf8.substr(0, i);
  }
  return utf8;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string FormatTemplate(std::string_view text, std::string_view arg) {
  std::string out;
  out.reserve(text.size() + arg.size());
  bool substituted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '%' && next == '%') {
      out += '%';
      ++i;
    } else if (text[i] == '%' && !substituted && std::strchr("sdiu", next) != nullptr && next) {
      out += arg;
      substituted = true;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool MatchWildcard(std::string_view pattern, std::string_view text) {
  // Greedy scan that backtracks only to the last "*": linear in practice, never exponential.
  std::size_t p = 0, t = 0;
  std::size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace hrz
