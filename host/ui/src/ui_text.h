// Text helpers of the widget library (the host cannot use the module's own).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hrz::ui {

// Blanks and tabs at both ends removed.
std::string_view TrimBlanks(std::string_view text);
// Pieces between any of the separator characters; empty pieces are kept.
std::vector<std::string_view> SplitText(std::string_view text, std::string_view separators);
// ASCII comparison without regard to letter case.
bool EqualsNoCase(std::string_view a, std::string_view b);
// Copies into a caller buffer of capacity bytes, cut and always terminated; false when cut
// or when there is no room at all.
bool CopyToBuffer(char* dst, int capacity, std::string_view src);
// The text as an SQL literal body: every single quote doubled.
std::string SqlQuoted(std::string_view text);

}  // namespace hrz::ui
