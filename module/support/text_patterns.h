// Text patterns of the module: message templates with one argument, and wildcards.
#pragma once

#include <string>
#include <string_view>

namespace hrz {

// Fills a printf-style template from the host's texts with one argument: the first
// %s, %d, %i or %u becomes arg and "%%" becomes "%". Anything else stays as written, so a
// malformed template can never read arguments that are not there.
std::string FormatTemplate(std::string_view text, std::string_view arg);

// "*" matches any run, "?" one character; ASCII letters compare without regard to case.
bool MatchWildcard(std::string_view pattern, std::string_view text);

}  // namespace hrz
