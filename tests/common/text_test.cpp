// The text helpers every part of the tree uses.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "hrzcommon/text.h"

namespace hrz {
namespace {

TEST(CommonText, TrimmingTakesOnlyBlanksAndTabs) {
  EXPECT_EQ(TrimBlanks(" \t a b \t "), "a b");
  EXPECT_EQ(TrimBlanks("\t\t"), "");
  EXPECT_EQ(TrimBlanks("\na\n"), "\na\n") << "only blanks and tabs";
  char buffer[] = "  x y\t";
  TrimBlanksInPlace(buffer);
  EXPECT_STREQ(buffer, "x y");
  char blanks[] = " \t ";
  TrimBlanksInPlace(blanks);
  EXPECT_STREQ(blanks, "");
}

TEST(CommonText, WholeNumbers) {
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
    EXPECT_EQ(IsWholeNumber(c.text), c.whole) << "'" << c.text << "'";
    if (c.whole) {
      EXPECT_EQ(value, c.value) << "'" << c.text << "'";
    }
  }
}

TEST(CommonText, SplittingKeepsEmptyPieces) {
  auto pieces = SplitText("a|b||c", "|");
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[2], "");
  EXPECT_EQ(SplitText("x,y;z", ",;").size(), 3u);
  EXPECT_EQ(SplitText("", "|").size(), 1u);
  EXPECT_EQ(SplitText("a|", "|").back(), "");
}

TEST(CommonText, BoundedCopyAlwaysTerminatesAndNeverWritesPastItsCapacity) {
  char small[5] = "zzzz";
  EXPECT_FALSE(CopyBounded(small, 4, "abcdef"));
  EXPECT_STREQ(small, "abc");
  EXPECT_TRUE(CopyBounded(small, sizeof small, "ab"));
  EXPECT_STREQ(small, "ab");
  // No room at all, whatever the capacity's type: nothing is written.
  small[0] = 'q';
  EXPECT_FALSE(CopyBounded(small, 0, "x"));
  EXPECT_FALSE(CopyBounded(small, -5, "x"));
  EXPECT_FALSE(CopyBounded(small, std::size_t{0}, "x"));
  EXPECT_EQ(small[0], 'q');
  EXPECT_FALSE(CopyBounded(nullptr, 8, "x"));
  EXPECT_TRUE(CopyBounded(small, std::uint32_t{1}, ""));
  EXPECT_STREQ(small, "");
  // An empty view without an address (a default one) copies nothing from nowhere.
  small[0] = 'q';
  EXPECT_TRUE(CopyBounded(small, sizeof small, std::string_view()));
  EXPECT_STREQ(small, "");
}

TEST(CommonText, CodePointsAreCountedAndCutWhole) {
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

TEST(CommonText, CaseFreeComparisonTouchesOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsNoCase("ADM", "adm"));
  EXPECT_FALSE(EqualsNoCase("adm", "adm "));
  EXPECT_FALSE(EqualsNoCase("@", "`")) << "neighbours of the letters stay apart";
  EXPECT_FALSE(EqualsNoCase("\xc3\x84", "\xc3\xa4")) << "only ASCII letters fold";
  EXPECT_TRUE(StartsWithNoCase("srv_password", "SRV_"));
  EXPECT_FALSE(StartsWithNoCase("SR", "SRV_"));
  EXPECT_EQ(LowerAscii("MiXed 1-Z"), "mixed 1-z");
  EXPECT_EQ(UpperAscii("MiXed 1-z"), "MIXED 1-Z");
}

TEST(CommonText, SqlQuotingMakesOneLiteralOfAnyText) {
  const struct {
    const char* text;
    const char* literal;
  } cases[] = {
      {"", "''"},
      {"bob", "'bob'"},
      {"o'brien", "'o''brien'"},
      {"'; drop table UUSR; --", "'''; drop table UUSR; --'"},
      {"''", "''''''"},
  };
  for (const auto& c : cases) EXPECT_EQ(SqlQuoted(c.text), c.literal) << c.text;
}

TEST(CommonText, SqlNamesAreLettersDigitsAndUnderscoresOnly) {
  const struct {
    std::string name;
    bool nameOk;
    bool fieldOk;
  } cases[] = {
      {"UUSR", true, true},
      {"n_1", true, true},
      {"UUSR.CCODE", false, true},
      {"", false, false},
      {".CCODE", false, false},
      {"UUSR.", false, false},
      {"A.B.C", false, false},
      {"CCODE;", false, false},
      {"CCODE --", false, false},
      {"C'", false, false},
      {"\xc3\x84", false, false},
      {std::string(63, 'N'), true, true},
      {std::string(64, 'N'), false, false},
      {std::string(31, 'T') + "." + std::string(31, 'C'), false, true},
      {std::string(32, 'T') + "." + std::string(31, 'C'), false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSqlName(c.name), c.nameOk) << c.name;
    EXPECT_EQ(IsSqlFieldName(c.name), c.fieldOk) << c.name;
  }
}

}  // namespace
}  // namespace hrz
