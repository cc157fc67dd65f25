#include "passwords/pwd_try_left.h"

#include <climits>

#include "hrzcommon/text.h"

namespace hrz {
namespace {

constexpr std::size_t kNameMax = 63;
constexpr std::size_t kValueLimit = 512;

}  // namespace

int PwdTriesLeft(std::string_view replyText) {
  for (std::string_view item : SplitText(replyText, "|")) {
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = item.substr(0, equals);
    std::string_view value = item.substr(equals + 1);
    if (name.empty() || name.size() > kNameMax || value.size() >= kValueLimit) continue;
    name = TrimBlanks(name);
    value = TrimBlanks(value);
    if (!EqualsNoCase(name, "pwd_try_left") || value.empty()) continue;
    long long n = 0;
    return ParseWholeNumber(value, &n) && n >= 1 && n < INT_MAX ? static_cast<int>(n) : 0;
  }
  return 0;
}

}  // namespace hrz
