#include "ui_text.h"

#include <cctype>
#include <cstring>

namespace hrz::ui {

std::string_view TrimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> SplitText(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (;;) {
    size_t at = text.find_first_of(separators, start);
    if (at == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool CopyToBuffer(char* dst, int capacity, std::string_view src) {
  if (dst == nullptr || capacity < 1) return false;
  size_t n = src.size() < static_cast<size_t>(capacity) ? src.size() : capacity - 1;
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
  return n == src.size();
}

std::string SqlQuoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  return out;
}

}  // namespace hrz::ui
