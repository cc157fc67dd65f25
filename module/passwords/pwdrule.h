// Password rules ("CPWDRULE"): "L" and a minimum length (at most 16), "C" both letter
// cases, "N" a digit, "@" a special character. Any other character means nothing.
#pragma once

#include <string>
#include <string_view>

#include "wintypes.h"

namespace hrz {

constexpr int kPwdMaxLength = 16;

struct PwdRule {
  int minLength = 0;  // 0: no minimum
  bool bothCases = false;
  bool digit = false;
  bool special = false;
};

// Blanks and tabs around the rule are ignored.
PwdRule ParsePwdRule(std::string_view rule);
// True when password (may be null) satisfies the rule.
bool PasswordMeetsRule(const PwdRule& rule, const char* password);
// The message that lists the whole rule, from the texts of "dlg_chgpwd".
std::string PwdRuleMessage(const PwdRule& rule);

// 1 when password (may be null) satisfies rule (may be null, trimmed); otherwise 0 after
// showing the rule message in a box owned by owner.
int CheckPwdRule(HWND owner, const char* password, const char* rule);
// The same against the logged-in user's "CPWDRULE"; no user, no row or an unreadable rule
// shows "pwd not rule" alone and gives 0.
int CheckPwdAgainstUserRule(HWND owner, const char* password);

}  // namespace hrz
