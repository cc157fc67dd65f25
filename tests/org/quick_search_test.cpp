// The where clause of the quick search, on the sample store (a creator field looks the word
// up as a user's code).
#include <gtest/gtest.h>

#include <string>

#include "support/quick_search.h"
#include "support/stores.h"

namespace hrz {
namespace {

class QuickSearchTest : public hrztest::SampleStoreTest {};

std::string Like(const std::string& field, const std::string& pattern) {
  return "upper(" + field + ") like upper('" + pattern + "')";
}

TEST_F(QuickSearchTest, JoinsWordsWithAndAndFieldsWithOr) {
  const std::string standard = "CCODE | CNAME";
  const std::string ali = Like("CCODE", "%ali%") + "or " + Like("CNAME", "%ali%");
  const std::string bak = Like("CCODE", "%bak%") + "or " + Like("CNAME", "%bak%");
  struct Case {
    std::string text;
    std::string fields;
    std::string where;
  };
  const Case cases[] = {
      {"ali", standard, ali},
      {"ali,bak", standard, "(" + ali + ")and (" + bak + ")"},
      {" ;, ali\t;;, ", standard, ali},  // a run of separators makes no empty words
      {"", standard, ""},
      {" \t ", standard, ""},
      {"o'neil", "CCODE", Like("CCODE", "%o''neil%")},  // the quote doubled
      {"a*e?", "CCODE", Like("CCODE", "a%e_")},         // the user's own wildcards
      // The creator field matches the user whose code the word is, and ends the word's terms.
      {"bob", "CCODE | UUSR.NCRTOR", Like("CCODE", "%bob%") + "or UUSR.NCRTOR = 309"},
      {"bob", "ncrtor | CCODE", "ncrtor = 309"},
      {"nobody", "CCODE | UUSR.NCRTOR", Like("CCODE", "%nobody%")},
      // A word no field can match matches nothing, rather than leaving the clause empty.
      {"nobody", "NCRTOR", "1 = 0"},
      {"nobody,bob", "NCRTOR", "(1 = 0)and (NCRTOR = 309)"},
      // Field names that are no plain SQL name are dropped, as are empty ones.
      {"ali", " CCODE |  | x;drop | CNAME ", ali},
      {"ali", "UUSR.CNAME", Like("UUSR.CNAME", "%ali%")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QuickSearchWhere(db(), c.text, c.fields, "upper"), c.where)
        << c.text << " / " << c.fields;
  }
}

TEST_F(QuickSearchTest, KeepsWordsAndTextWithinTheirLimits) {
  const std::string word127(127, 'w');
  EXPECT_EQ(QuickSearchWhere(db(), word127, "CCODE", "upper"), Like("CCODE", "%" + word127 + "%"));
  EXPECT_EQ(QuickSearchWhere(db(), std::string(128, 'w') + " ok", "CCODE", "upper"),
            Like("CCODE", "%ok%"))
      << "a word of 128 characters is skipped";
  std::string many;
  for (int i = 0; i < 70; ++i) many += "w" + std::to_string(i) + " ";
  const std::string where = QuickSearchWhere(db(), many, "CCODE", "upper");
  EXPECT_NE(where.find("%w63%"), std::string::npos);
  EXPECT_EQ(where.find("%w64%"), std::string::npos) << "64 words at most";
  const std::string longText = std::string(1020, ' ') + "abcdef";
  EXPECT_EQ(QuickSearchWhere(db(), longText, "CCODE", "upper"), Like("CCODE", "%abc%"))
      << "1023 characters of text at most";
}

TEST_F(QuickSearchTest, TheClauseRunsOnTheStore) {
  const std::string where = QuickSearchWhere(db(), "E;AR o'x", "CCODE | CNAME", "upper");
  EXPECT_EQ(hrztest::QueryText(db(), "select count(*) from UUSR where " + where), "0");
  const std::string two = QuickSearchWhere(db(), "e;ar", "CCODE | CNAME", "upper");
  // Alice Archer, Carol Chen and the department Archive.
  EXPECT_EQ(hrztest::QueryText(db(), "select count(*) from UUSR where " + two), "3");
}

}  // namespace
}  // namespace hrz
