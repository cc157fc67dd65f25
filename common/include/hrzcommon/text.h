// The text helpers of the whole tree: trimming, splitting, case-free comparison, bounded
// copies, whole numbers and the one SQL quoting helper. Letters are ASCII letters.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hrz {

// Blanks and tabs at both ends removed.
std::string_view TrimBlanks(std::string_view text);
// Trims a zero-terminated buffer in place; null is left alone.
void TrimBlanksInPlace(char* text);

// Pieces between any of the separator characters; empty pieces are kept.
std::vector<std::string_view> SplitText(std::string_view text, std::string_view separators);

// Comparison without regard to letter case, like _stricmp == 0.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
constexpr char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);

// Copies src into dst of capacity bytes, cut to capacity - 1 bytes and always terminated.
// False when it had to cut, and (nothing written) when dst is null or capacity below 1.
template <std::integral Capacity>
bool CopyBounded(char* dst, Capacity capacity, std::string_view src) {
  if (dst == nullptr || std::cmp_less(capacity, 1)) return false;
  const std::size_t n =
      std::cmp_less(src.size(), capacity) ? src.size() : static_cast<std::size_t>(capacity) - 1;
  if (n > 0) std::memcpy(dst, src.data(), n);  // an empty view may carry no address
  dst[n] = '\0';
  return n == src.size();
}

// Characters of UTF-8 text: code points, each counted at its first byte (bytes of the form
// 10xxxxxx continue a character and do not count).
std::size_t CountCodePoints(std::string_view utf8);
// The first maxCodePoints characters of utf8, never cutting a character in two.
std::string_view FirstCodePoints(std::string_view utf8, std::size_t maxCodePoints);

// UTF-8 to UTF-16 (the wide texts of the Windows-named calls) and back. A malformed or
// overlong sequence, or an unpaired surrogate, becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// A whole number: any run of "+", "-", blanks or tabs, then one or more digits and
// nothing else. A "-" in the leading run makes it negative; values beyond the 64-bit
// range saturate.
bool IsWholeNumber(std::string_view text);
bool ParseWholeNumber(std::string_view text, long long* value);

// The text as an SQL string literal: in single quotes, each single quote in it doubled.
// Every text that goes into SQL goes through here.
std::string SqlQuoted(std::string_view text);
// A table or column name that may stand in SQL as it is: 1 to 63 ASCII letters, digits
// and "_". A field name may also be "TABLE.COLUMN" of two such names, 63 bytes in all.
bool IsSqlName(std::string_view name);
bool IsSqlFieldName(std::string_view name);

}  // namespace hrz
