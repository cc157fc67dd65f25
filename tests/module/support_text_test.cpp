#include <gtest/gtest.h>

#include "support/datenum.h"
#include "support/text_patterns.h"

namespace hrz {
namespace {

TEST(SupportText, WildcardsIgnoreCase) {
  struct Case {
    const char* pattern;
    std::string text;
    bool match;
  };
  const Case cases[] = {
      {"*", "", true},
      {"*", "anything", true},
      {"a?c", "ABC", true},
      {"a?c", "ac", false},
      {"*.XCF", "kq.xcf", true},
      {"k*f*g", "kqflwlgn", false},
      {"k*l*n", "kqflwlgn", true},
      {"", "", true},
      {"", "a", false},
      {"a*a*a*a*a*b", std::string(60, 'a'), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchWildcard(c.pattern, c.text), c.match) << c.pattern << " ~ " << c.text;
  }
}

TEST(SupportDateNumber, FormatsAsYearMonthDayDotTime) {
  double value = DateNumber(2026, 12, 10, 7, 5, 9);
  EXPECT_EQ(FormatDateNumber(value), "20261210.070509");
  EXPECT_EQ(DayOfDateNumber(value), 20261210);
  EXPECT_EQ(FormatDateNumber(DateNumber(2000, 1, 1, 23, 59, 59)), "20000101.235959");
}

}  // namespace
}  // namespace hrz

namespace hrz {
namespace {

TEST(SupportText, TemplatesTakeOneArgumentSafely) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"Change password of %s", "Change password of adm"},
      {"%d tries left", "adm tries left"},
      {"100%% sure: %s", "100% sure: adm"},
      {"%s and %s", "adm and %s"},
      {"%n%x%", "%n%x%"},
      {"no conversion", "no conversion"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatTemplate(c.text, "adm"), c.expected) << c.text;
}

}  // namespace
}  // namespace hrz
