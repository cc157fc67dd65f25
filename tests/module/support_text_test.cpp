#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "support/datenum.h"
#include "support/text.h"

namespace hrz {
namespace {

TEST(SupportText, Trimming) {
  EXPECT_EQ(TrimBlanks(" \t a b \t "), "a b");
  EXPECT_EQ(TrimBlanks("\t\t"), "");
  EXPECT_EQ(TrimBlanks("\na\n"), "\na\n") << "only blanks and tabs";
  char buffer[] = "  x y\t";
  TrimBlanksInPlace(buffer);
  EXPECT_STREQ(buffer, "x y");
}

TEST(SupportText, WholeNumbers) {
  struct Case {
    const char* text;
    bool whole;
    long long value;
  };
  const Case cases[] = {
      {"3", true, 3},       {" 3", true, 3},
      {"+3", true, 3},      {"-3", true, -3},
      {" - 12", true, -12}, {"007", true, 7},
      {"3 ", false, 0},     {"", false, 0},
      {"  ", false, 0},     {"+", false, 0},
      {"3a", false, 0},     {"abc", false, 0},
      {"1.5", false, 0},    {"99999999999999999999999", true, LLONG_MAX},
  };
  for (const Case& c : cases) {
    long long value = 0;
    EXPECT_EQ(ParseWholeNumber(c.text, &value), c.whole) << "'" << c.text << "'";
    if (c.whole) {
      EXPECT_EQ(value, c.value) << "'" << c.text << "'";
    }
  }
}

TEST(SupportText, SplittingKeepsEmptyPieces) {
  auto pieces = SplitText("a|b||c", "|");
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[2], "");
  EXPECT_EQ(SplitText("x,y;z", ",;").size(), 3u);
  EXPECT_EQ(SplitText("", "|").size(), 1u);
}

TEST(SupportText, CodePointsAreCountedAndCutWhole) {
  struct Case {
    const char* text;
    std::size_t count;
    std::size_t firstTwoBytes;  // bytes of the first two characters
  };
  const Case cases[] = {
      {"", 0, 0},
      {"abc", 3, 2},
      {"\xc3\xa9t\xc3\xa9", 3, 3},
      {"\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac", 3, 6},
      {"\xf0\x9d\x84\x9ex", 2, 5},
      {"\xf0\x9d\x84\x9e\xf0\x9d\x84\x9e\xf0\x9d\x84\x9e", 3, 8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountCodePoints(c.text), c.count) << c.text;
    EXPECT_EQ(FirstCodePoints(c.text, 2).size(), c.firstTwoBytes) << c.text;
  }
  EXPECT_EQ(FirstCodePoints("ab", 0), "");
}

TEST(SupportText, BoundedCopyAlwaysTerminates) {
  char small[4];
  EXPECT_FALSE(CopyBounded(small, sizeof small, "abcdef"));
  EXPECT_STREQ(small, "abc");
  EXPECT_TRUE(CopyBounded(small, sizeof small, "ab"));
  EXPECT_STREQ(small, "ab");
  EXPECT_FALSE(CopyBounded(small, 0, "x"));
}

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
