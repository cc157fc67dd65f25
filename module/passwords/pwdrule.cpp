#include "passwords/pwdrule.h"

#include <algorithm>
#include <string>

#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "platform_ui.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_chgpwd");

constexpr int kRuleCapacity = 64;

// The 29 characters that satisfy "@"; a blank is not one of them.
constexpr std::string_view kSpecialCharacters = "~!@#$%^&*()-_+=|{}[]:'\";,.?/\\";

bool IsSpecial(char c) {
  return c != '\0' && kSpecialCharacters.find(c) != std::string_view::npos;
}

void ShowRuleProblem(HWND owner, const std::string& message) {
  MessageBoxA(owner, message.c_str(), T("mb_cap"), MB_OK | MB_ICONEXCLAMATION);
}

// The logged-in user's rule into rule (64 bytes); false when there is none to read.
bool ReadUserRule(char* rule) {
  tagXCliDB* db = Module().db;
  const int nid = XCliGetCurrentUserNID(db);
  if (nid < 1) return false;
  const std::string sql = "select CPWDRULE from UUSR where NID = " + std::to_string(nid);
  XCliGenRS rs(db);
  return rs.Open(1, sql.c_str()) && !rs.IsEOF() &&
         rs.GetFieldValue(0, XCLI_TYPE_TEXT, rule, kRuleCapacity);
}

}  // namespace

PwdRule ParsePwdRule(std::string_view text) {
  text = TrimBlanks(text);
  PwdRule rule;
  for (std::size_t i = 0; i < text.size(); ++i) {
    switch (text[i]) {
      case 'L': {
        int length = 0;
        while (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
          length = std::min(length * 10 + (text[++i] - '0'), kPwdMaxLength + 1);
        }
        rule.minLength = std::min(length, kPwdMaxLength);
        break;
      }
      case 'C':
        rule.bothCases = true;
        break;
      case 'N':
        rule.digit = true;
        break;
      case '@':
        rule.special = true;
        break;
      default:
        break;
    }
  }
  return rule;
}

bool PasswordMeetsRule(const PwdRule& rule, const char* password) {
  if (rule.minLength > 0 && (password == nullptr || CountCodePoints(password) <
                                                        static_cast<std::size_t>(rule.minLength))) {
    return false;
  }
  bool lower = false, upper = false, digit = false, special = false;
  for (const char* p = password; p != nullptr && *p != '\0'; ++p) {
    if (*p >= 'a' && *p <= 'z') {
      lower = true;
    } else if (*p >= 'A' && *p <= 'Z') {
      upper = true;
    } else if (*p >= '0' && *p <= '9') {
      digit = true;
    } else if (IsSpecial(*p)) {
      special = true;
    }
  }
  if (rule.bothCases && !(lower && upper)) return false;
  if (rule.digit && !digit) return false;
  return !rule.special || special;
}

std::string PwdRuleMessage(const PwdRule& rule) {
  std::string message = T("pwd not rule");
  message += "\r\n  ";
  message += T("pwd min len");
  message += ": ";
  message += rule.minLength >= 1 ? std::to_string(rule.minLength) : std::string(T("no limit"));
  if (rule.bothCases) message += std::string("\r\n  ") + T("pwd inc caps");
  if (rule.digit) message += std::string("\r\n  ") + T("pwd inc num");
  if (rule.special) message += std::string("\r\n  ") + T("pwd inc spec");
  return message;
}

int CheckPwdRule(HWND owner, const char* password, const char* rule) {
  const PwdRule parsed = ParsePwdRule(rule != nullptr ? rule : "");
  if (PasswordMeetsRule(parsed, password)) return 1;
  ShowRuleProblem(owner, PwdRuleMessage(parsed));
  return 0;
}

int CheckPwdAgainstUserRule(HWND owner, const char* password) {
  char rule[kRuleCapacity] = {};
  if (!ReadUserRule(rule)) {
    ShowRuleProblem(owner, T("pwd not rule"));
    return 0;
  }
  return CheckPwdRule(owner, password, rule);
}

}  // namespace hrz
