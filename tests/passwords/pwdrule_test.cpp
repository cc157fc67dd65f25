#include <gtest/gtest.h>

#include <string>

#include "entry/module_state.h"
#include "passwords/pwd_try_left.h"
#include "passwords/pwdrule.h"

namespace hrz {
namespace {

TEST(PwdRule, ParsesLengthAndFlags) {
  struct Case {
    const char* text;
    int minLength;
    bool cases, digit, special;
  };
  const Case cases[] = {
      {"L8CN@", 8, true, true, true},
      {"  L8CN@\t", 8, true, true, true},
      {"L20", 16, false, false, false},
      {"L99999999999999999999", 16, false, false, false},
      {"L", 0, false, false, false},
      {"L0", 0, false, false, false},
      {"l8", 0, false, false, false},
      {"cn", 0, false, false, false},
      {"N@", 0, false, true, true},
      {"", 0, false, false, false},
      {"InitDefault", 0, false, false, false},
  };
  for (const Case& c : cases) {
    PwdRule rule = ParsePwdRule(c.text);
    EXPECT_EQ(rule.minLength, c.minLength) << c.text;
    EXPECT_EQ(rule.bothCases, c.cases) << c.text;
    EXPECT_EQ(rule.digit, c.digit) << c.text;
    EXPECT_EQ(rule.special, c.special) << c.text;
  }
}

TEST(PwdRule, ChecksPasswords) {
  struct Case {
    const char* rule;
    const char* password;
    bool accepted;
  };
  const Case cases[] = {
      {"L8CN@", "Abcdefg1!", true},
      {"L8CN@", "abcdefg1!", false},
      {"L8CN@", "Abcdef1!", true},
      {"L8CN@", "Abcde1!", false},
      {"L8CN@", "Abcdefgh!", false},
      {"L8CN@", "Abcdefgh1", false},
      {"L20", "abcdefghijklmnop", true},
      {"L20", "abcdefghijklmno", false},
      {"C", "ABCDEF", false},
      {"C", "AbCdEf", true},
      {"C", "\xc3\xa9\xc3\x89Z", false},
      {"@", "ab cd", false},
      {"@", "ab\\cd", true},
      {"@", "ab\"cd", true},
      {"@", "ab<cd", false},
      {"l8", "", true},
      {"", "", true},
      {"   ", "x", true},
      {"L1", "", false},
      {"N", "abc", false},
      {"N", "ab9", true},
      {"L8", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", false},  // five letters, ten bytes
      {"L5", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", true},
      {"L2", "\xf0\x9d\x84\x9e", false},  // one character of four bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PasswordMeetsRule(ParsePwdRule(c.rule), c.password), c.accepted)
        << c.rule << " / " << c.password;
  }
  EXPECT_FALSE(PasswordMeetsRule(ParsePwdRule("L1"), nullptr));
  EXPECT_FALSE(PasswordMeetsRule(ParsePwdRule("C"), nullptr));
  EXPECT_TRUE(PasswordMeetsRule(ParsePwdRule(""), nullptr));
}

TEST(PwdRule, MessageListsTheWholeRule) {
  Module() = ModuleState{};
  EXPECT_EQ(
      PwdRuleMessage(ParsePwdRule("L8CN@")),
      "dlg_chgpwd.pwd not rule\r\n  dlg_chgpwd.pwd min len: 8"
      "\r\n  dlg_chgpwd.pwd inc caps\r\n  dlg_chgpwd.pwd inc num\r\n  dlg_chgpwd.pwd inc spec");
  EXPECT_EQ(PwdRuleMessage(ParsePwdRule("N")),
            "dlg_chgpwd.pwd not rule\r\n  dlg_chgpwd.pwd min len: dlg_chgpwd.no limit"
            "\r\n  dlg_chgpwd.pwd inc num");
}

TEST(PwdTriesLeft, ReadsTheFirstNonEmptyItem) {
  struct Case {
    const char* reply;
    int tries;
  };
  const Case cases[] = {
      {"a=1| pwd_try_left =  3 |b=2", 3},
      {"PWD_TRY_LEFT=4", 4},
      {"pwd_try_left=0", 0},
      {"pwd_try_left=abc", 0},
      {"pwd_try_left=-2", 0},
      {"pwd_try_left=2147483647", 0},
      {"pwd_try_left=2147483646", 2147483646},
      {"pwd_try_left=|pwd_try_left=5", 5},
      {"pwd_try_left=x|pwd_try_left=5", 0},
      {"", 0},
      {"no items here", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(PwdTriesLeft(c.reply), c.tries) << c.reply;
  std::string longName(64, 'n');
  EXPECT_EQ(PwdTriesLeft(longName + "=1|pwd_try_left=2"), 2);
  EXPECT_EQ(PwdTriesLeft("pwd_try_left=" + std::string(512, 'x') + "|pwd_try_left=6"), 6)
      << "a value of 512 characters or more is skipped";
  EXPECT_EQ(PwdTriesLeft("pwd_try_left=" + std::string(511, 'x') + "|pwd_try_left=6"), 0)
      << "a shorter one ends the walk";
}

}  // namespace
}  // namespace hrz
