// Reading the tries left from a wrong-password reply: "name=value" items joined by "|".
#pragma once

#include <string_view>

namespace hrz {

// The value n of the first non-empty "pwd_try_left" item when it is a whole number with
// 1 <= n < 2147483647; otherwise 0.
int PwdTriesLeft(std::string_view replyText);

}  // namespace hrz
