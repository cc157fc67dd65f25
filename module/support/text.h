// Small text helpers used throughout the module.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hrz {

// Blanks and tabs at both ends removed.
std::string_view TrimBlanks(std::string_view text);
// Trims a zero-terminated buffer in place; null is left alone.
void TrimBlanksInPlace(char* text);

// A whole number: any run of "+", "-", blanks or tabs, then one or more digits and
// nothing else. A "-" in the leading run makes it negative; values beyond the 64-bit
// range saturate.
bool IsWholeNumber(std::string_view text);
bool ParseWholeNumber(std::string_view text, long long* value);

// Pieces between any of the separator characters; empty pieces are kept.
std::vector<std::string_view> SplitText(std::string_view text, std::string_view separators);

// Copies src into dst (capacity bytes, capacity >= 1), cutting it to capacity - 1 bytes
// and always terminating. Returns false when it had to cut.
bool CopyBounded(char* dst, std::size_t capacity, std::string_view src);

// Characters of UTF-8 text: code points, each counted at its first byte (bytes of the form
// 10xxxxxx continue a character and do not count).
std::size_t CountCodePoints(std::string_view utf8);
// The first maxCodePoints characters of utf8, never cutting a character in two.
std::string_view FirstCodePoints(std::string_view utf8, std::size_t maxCodePoints);

// Case-insensitive ASCII comparison, like _stricmp == 0.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Fills a printf-style template from the host's texts with one argument: the first
// %s, %d, %i or %u becomes arg and "%%" becomes "%". Anything else stays as written, so a
// malformed template can never read arguments that are not there.
std::string FormatTemplate(std::string_view text, std::string_view arg);

// "*" matches any run, "?" one character; ASCII letters compare without regard to case.
bool MatchWildcard(std::string_view pattern, std::string_view text);

}  // namespace hrz
