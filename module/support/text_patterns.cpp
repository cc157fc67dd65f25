#include "support/text_patterns.h"

#include <cstring>

#include "hrzcommon/text.h"

namespace hrz {

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
    if (p < pattern.size() &&
        (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(text[t]))) {
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
