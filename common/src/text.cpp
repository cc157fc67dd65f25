#include "hrzcommon/text.h"

#include <algorithm>
#include <climits>

namespace hrz {
namespace {

constexpr std::size_t kMaxSqlName = 63;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool ContinuesCharacter(char c) {
  return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
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

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](char c) { return LowerAscii(c); });
  return out;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](char c) { return UpperAscii(c); });
  return out;
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

std::string SqlQuoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('\'');
  for (char c : text) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  out.push_back('\'');
  return out;
}

bool IsSqlName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxSqlName &&
         std::all_of(name.begin(), name.end(), [](char c) {
           const char lower = LowerAscii(c);
           return (lower >= 'a' && lower <= 'z') || (c >= '0' && c <= '9') || c == '_';
         });
}

bool IsSqlFieldName(std::string_view name) {
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return IsSqlName(name);
  return name.size() <= kMaxSqlName && IsSqlName(name.substr(0, dot)) &&
         IsSqlName(name.substr(dot + 1));
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

namespace {

constexpr char32_t kReplacement = 0xfffd;

// The code point at utf8[*pos], advancing *pos past it; kReplacement (one byte consumed)
// for anything that is not a shortest-form sequence of a valid code point.
char32_t DecodeUtf8(std::string_view utf8, std::size_t* pos) {
  const auto lead = static_cast<unsigned char>(utf8[*pos]);
  ++*pos;
  if (lead < 0x80) return lead;
  int more = 0;
  char32_t cp = 0;
  char32_t least = 0;
  if ((lead & 0xe0) == 0xc0) {
    more = 1, cp = lead & 0x1f, least = 0x80;
  } else if ((lead & 0xf0) == 0xe0) {
    more = 2, cp = lead & 0x0f, least = 0x800;
  } else if ((lead & 0xf8) == 0xf0) {
    more = 3, cp = lead & 0x07, least = 0x10000;
  } else {
    return kReplacement;
  }
  if (*pos + static_cast<std::size_t>(more) > utf8.size()) return kReplacement;
  for (int i = 0; i < more; ++i) {
    if (!ContinuesCharacter(utf8[*pos + static_cast<std::size_t>(i)])) return kReplacement;
    cp = (cp << 6) | (static_cast<unsigned char>(utf8[*pos + static_cast<std::size_t>(i)]) & 0x3f);
  }
  if (cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return kReplacement;
  *pos += static_cast<std::size_t>(more);
  return cp;
}

void AppendUtf8(std::string* out, char32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xc0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xe0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else {
    out->push_back(static_cast<char>(0xf0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = DecodeUtf8(utf8, &pos);
    if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      out.push_back(static_cast<char16_t>(0xd800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xdc00 + ((cp - 0x10000) & 0x3ff)));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xd800 && cp <= 0xdbff && i + 1 < utf16.size() && utf16[i + 1] >= 0xdc00 &&
        utf16[i + 1] <= 0xdfff) {
      cp = 0x10000 + ((cp - 0xd800) << 10) + (utf16[i + 1] - 0xdc00);
      ++i;
    } else if (cp >= 0xd800 && cp <= 0xdfff) {
      cp = kReplacement;
    }
    AppendUtf8(&out, cp);
  }
  return out;
}

}  // namespace hrz
