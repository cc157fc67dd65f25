// The policy file format read into the section resource: nesting, escapes, empty names,
// repeated sections, ordering and lookups.
#include <gtest/gtest.h>

#include <string>

#include "hrzcommon/text.h"
#include "support/mutated_texts.h"
#include "support/section_resource.h"

namespace hrz {
namespace {

// "Section[name=value ...] ..." in the resource's order.
std::string Dump(const SectionResource& resource) {
  std::string out;
  for (int s = 0; s < resource.SectionCount(); ++s) {
    const std::string section = resource.SectionName(s);
    out += (s > 0 ? " " : "") + section + "[";
    for (int e = 0; e < resource.EntryCount(section); ++e) {
      const SectionResource::Entry* entry = resource.EntryAt(section, e);
      out += (e > 0 ? " " : "") + entry->name + "=" + entry->value;
    }
    out += "]";
  }
  return out;
}

TEST(SectionResource, FormatRules) {
  struct Case {
    const char* label;
    std::string text;
    std::string sections;
  };
  const std::string deepMark = "1" + std::string(300, '.');
  const Case cases[] = {
      {"a section and its entries", "1, Kernel\n1.1, Kernel Name, Secure\n1.1, USB, Read\n",
       "Kernel[Kernel Name=Secure USB=Read]"},
      {"CR LF line ends and comments", "//TEXT\r\n1, A // a\r\n1.1, k, v // c, d\r\n//1, B\r\n",
       "A[k=v]"},
      {"parts trimmed", "  1 ,\t s \t\n\t1.1 ,  k  ,  v  \n", "s[k=v]"},
      {"a repeated section continues the first, without regard to case",
       "1, App\n1.1, b.exe, B\n2, UserApp\n2.1, u, U\n3, APP\n3.1, a.exe, A\n",
       "App[a.exe=A b.exe=B] UserApp[u=U]"},
      {"sections and entries ordered by name without regard to case",
       "1, b\n1.1, z, 1\n1.1, Y, 2\n2, A\n2.1, x, 3\n", "A[x=3] b[Y=2 z=1]"},
      {"repeated entry names stay, in file order", "1, s\n1.1, k, first\n1.1, K, second\n",
       "s[k=first K=second]"},
      {"backslash backslash and backslash n", "1, s\n1.1, a\\\\b, c\\nd\n", "s[a\\b=c\r\nd]"},
      {"other backslashes stay; an escaped comma does not separate",
       "1, s\n1.1, x\\,y, z\\t\n1.1, \\\\, w\n", "s[\\=w x\\,y=z\\t]"},
      {"the value keeps later commas", "1, s\n1.1, p, q, r\n", "s[p=q, r]"},
      {"a name without a value", "1, s\n1.1, inhouse.exe\n1.1, k,\n", "s[inhouse.exe= k=]"},
      {"an entry with an empty name is ignored", "1, s\n1.1, , v\n1.1,\n1.1, k, v\n", "s[k=v]"},
      {"a section with an empty name is ignored with its entries",
       "1, \n1.1, k, v\n2, t\n2.1, a, b\n", "t[a=b]"},
      {"a line without a comma is ignored with the lines under it",
       "1, s\n1.1 no comma\n1.1.1, deep, x\n1.1, k, v\n2 no comma\n2.1, j, w\n", "s[k=v]"},
      {"a line with an empty mark is passed over", ", orphan\n1, s\n , x\n1.1, k, v\n", "s[k=v]"},
      {"blank lines are passed over for nesting", "1, s\n\n  \t\n// note\n1.1, k, v\n", "s[k=v]"},
      {"depth counts dots relative to the line before", "1.1, s\n1.1.1, k, v\n", "s[k=v]"},
      {"a step of two levels nests one level", "1, s\n1.1.1, k, v\n1.1, j, w\n", "s[j=w k=v]"},
      {"deeper lines are ignored", "1, s\n1.1, k, v\n1.1.1, deep, x\n1.1.1.1, deeper, y\n",
       "s[k=v]"},
      {"depth never goes below 0", "1.1.1, s\n1, t\n1.1, k, v\n", "s[] t[k=v]"},
      {"depth is capped at 255", "1, s\n" + deepMark + ", x, y\n1.1, k, v\n", "k[] s[x=y]"},
      {"nothing but comments", "//TEXT\n// nothing\n", ""},
      {"a zero byte ends the text", std::string("1, s\n1.1, k, v\n1.1, j\0, w\n2, t\n", 31),
       "s[j= k=v]"},
  };
  for (const Case& c : cases) {
    SectionResource resource;
    resource.Load(c.text);
    EXPECT_EQ(Dump(resource), c.sections) << c.label;
  }
}

TEST(SectionResource, LookupsIgnoreCaseAndFindTheFirstOfRepeatedNames) {
  SectionResource resource;
  resource.Load("1, Kernel\n1.1, USB, Read\n1.1, usb, None\n2, App\n2.1, a.exe, A|CAD\n");
  ASSERT_NE(resource.Find("kernel", "Usb"), nullptr);
  EXPECT_EQ(*resource.Find("kernel", "Usb"), "Read");
  EXPECT_EQ(*resource.Find("APP", "A.EXE"), "A|CAD");
  EXPECT_EQ(resource.Find("Kernel", "Print Log"), nullptr);
  EXPECT_EQ(resource.Find("UserApp", "a.exe"), nullptr);
  EXPECT_EQ(resource.EntryCount("UserApp"), 0);
  EXPECT_EQ(resource.EntryAt("App", 1), nullptr);
  EXPECT_EQ(resource.EntryAt("App", -1), nullptr);
  EXPECT_EQ(resource.SectionName(2), nullptr);
  EXPECT_EQ(resource.SectionName(-1), nullptr);
  // A second load replaces the first.
  resource.Load("1, Other\n");
  EXPECT_EQ(Dump(resource), "Other[]");
}

bool HasOuterBlank(std::string_view text) {
  return !text.empty() &&
         (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' || text.back() == '\t');
}

// Whatever a damaged file holds, what is loaded keeps the resource's promises: named,
// trimmed, ordered, one section per name, and every entry found by its name.
TEST(SectionResource, DamagedFilesLoadIntoAWellFormedResource) {
  const std::string policy =
      "//TEXT\r\n1, Kernel\r\n1.1, Kernel Name, Secure \\n kernel\r\n1.1, USB, Read // c\r\n"
      "1.1, Include a.exe, True\r\n2, App\r\n2.1, a.exe, Editor|CAD\r\n2.1, b.exe, B|\r\n"
      "2.1.1, deep, x\r\n2.1, c.exe\r\n3, UserApp\r\n3.1, u.exe, U\\, v|Office\r\n";
  int loadedSomething = 0;
  for (const std::string& text : hrztest::MutatedTexts(policy, 3000, 15)) {
    SectionResource resource;
    resource.Load(text);
    loadedSomething += resource.SectionCount() > 0 ? 1 : 0;
    for (int s = 0; s < resource.SectionCount(); ++s) {
      const std::string section = resource.SectionName(s);
      ASSERT_FALSE(section.empty()) << text;
      ASSERT_FALSE(HasOuterBlank(section)) << text;
      if (s > 0) {
        ASSERT_LT(LowerAscii(resource.SectionName(s - 1)), LowerAscii(section)) << text;
      }
      std::string previous;
      for (int e = 0; e < resource.EntryCount(section); ++e) {
        const SectionResource::Entry* entry = resource.EntryAt(section, e);
        ASSERT_NE(entry, nullptr) << text;
        ASSERT_FALSE(entry->name.empty()) << text;
        ASSERT_FALSE(HasOuterBlank(entry->name) || HasOuterBlank(entry->value)) << text;
        ASSERT_LE(LowerAscii(previous), LowerAscii(entry->name)) << text;
        const std::string* found = resource.Find(section, entry->name);
        ASSERT_NE(found, nullptr) << text;
        if (LowerAscii(previous) != LowerAscii(entry->name)) {
          ASSERT_EQ(*found, entry->value) << text;
        }
        previous = entry->name;
      }
    }
  }
  // The edits are small: most damaged copies still hold a section.
  EXPECT_GT(loadedSomething, 1500);
}

}  // namespace
}  // namespace hrz
