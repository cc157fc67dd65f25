// Writing one entry of an outline resource file: the text changes only there, reads back as
// written, keeps its form on disk, and is refused whole when it could not read back.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "hrzcommon/cfg_file.h"
#include "hrzcommon/text.h"
#include "res_file.h"
#include "support/mutated_texts.h"
#include "support/section_resource.h"
#include "support/temp_dir.h"

namespace hrzcfg {
namespace {

TEST(ResFileWriter, ChangesOnlyTheEntry) {
  struct Case {
    const char* label;
    const char* text;
    const char* section;
    const char* key;
    const char* value;
    const char* written;
  };
  const Case cases[] = {
      {"an existing value is replaced",
       "//TEXT\n1, Kernel\n1.1, Stop Screen, False\n1.1, USB, None\n", "Kernel", "Stop Screen",
       "True", "//TEXT\n1, Kernel\n1.1, Stop Screen, True\n1.1, USB, None\n"},
      {"section and key match without regard to case; the file's spelling stays",
       "1, Kernel\n1.1, Stop Screen, False\n", "KERNEL", "stop screen", "True",
       "1, Kernel\n1.1, Stop Screen, True\n"},
      {"mark, comment and CR LF stay", "1, Kernel\r\n  1.1 , USB, None // default\r\n2, App\r\n",
       "Kernel", "USB", "Read", "1, Kernel\r\n  1.1, USB, Read // default\r\n2, App\r\n"},
      {"the first entry of a repeated section is the one changed",
       "1, S\n1.1, a, 1\n2, s\n2.1, k, old\n3, S\n3.1, k, later\n", "s", "k", "new",
       "1, S\n1.1, a, 1\n2, s\n2.1, k, new\n3, S\n3.1, k, later\n"},
      {"a missing entry comes first in its section", "1, Kernel\n1.1, A, 1\n2, App\n", "Kernel",
       "Encrypt a.exe", "Write", "1, Kernel\n1.1, Encrypt a.exe, Write\n1.1, A, 1\n2, App\n"},
      {"a missing entry in a CR LF file", "1, Kernel\r\n2, App\r\n", "Kernel", "USB", "Close",
       "1, Kernel\r\n1.1, USB, Close\r\n2, App\r\n"},
      {"a missing section goes at the end", "1, App\n1.1, a.exe, A", "Kernel", "USB", "Read",
       "1, App\n1.1, a.exe, A\n1, Kernel\n1.1, USB, Read\n"},
      {"a new section after deeper lines still opens at depth 0",
       "1, App\n1.1, a, b\n1.1.1, deep, x\n", "Kernel", "k", "v",
       "1, App\n1.1, a, b\n1.1.1, deep, x\n1, Kernel\n1.1, k, v\n"},
      {"a new section after a file whose marks start deep", "1.1, App\n1.1.1, a, b\n", "Kernel",
       "k", "v", "1.1, App\n1.1.1, a, b\n1.1, Kernel\n1.1.1, k, v\n"},
      {"an empty file gains section and entry", "//TEXT\n", "Kernel", "USB", "None",
       "//TEXT\n1, Kernel\n1.1, USB, None\n"},
      {"backslashes and CR LF are escaped", "1, s\n1.1, k, v\n", "s", "k", "C:\\dir\\a\r\nb",
       "1, s\n1.1, k, C:\\\\dir\\\\a\\nb\n"},
  };
  for (const Case& c : cases) {
    std::string out;
    ASSERT_TRUE(SetResEntry(c.text, c.section, c.key, c.value, &out)) << c.label;
    EXPECT_EQ(out, c.written) << c.label;
    hrz::SectionResource read;
    read.Load(out);
    ASSERT_NE(read.Find(c.section, c.key), nullptr) << c.label;
    EXPECT_EQ(*read.Find(c.section, c.key), c.value) << c.label;
  }
}

TEST(ResFileWriter, RefusesWhatWouldNotReadBack) {
  struct Case {
    const char* label;
    const char* section;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"a comma in the key", "Kernel", "Include a,b.exe", "True"},
      {"a comment mark in the value", "Kernel", "Name", "see http://host"},
      {"a lone line feed", "Kernel", "Name", "a\nb"},
      {"a lone carriage return", "Kernel", "Name", "a\rb"},
      {"blanks around the value", "Kernel", "Name", " padded "},
      {"an empty key", "Kernel", "", "x"},
      {"an empty section", "", "k", "x"},
      {"a comma in a new section's name", "Ker,nel", "k", "x"},
  };
  const std::string text = "1, Kernel\n1.1, Name, Old\n";
  for (const Case& c : cases) {
    std::string out = "untouched";
    EXPECT_FALSE(SetResEntry(text, c.section, c.key, c.value, &out)) << c.label;
    EXPECT_EQ(out, "untouched") << c.label;
  }
  std::string out = "untouched";
  EXPECT_FALSE(SetResEntry(std::string("1, Kernel\0\n", 11), "Kernel", "USB", "Read", &out))
      << "a zero byte in the file";
  EXPECT_EQ(out, "untouched");
}

TEST(ResFileWriter, FileKeepsItsFormAndIsLeftAloneOnRefusal) {
  hrztest::TempDir dir;
  for (bool compressed : {false, true}) {
    const std::string path = dir.File(compressed ? "packed.xcf" : "plain.xcf");
    ASSERT_TRUE(hrz::SaveCfgText(path.c_str(), "//TEXT\n1, Kernel\n1.1, USB, None\n", compressed));
    ASSERT_EQ(RZWriteResFile(path.c_str(), "Kernel", "USB", "Read"), 1);
    std::string text;
    bool wasCompressed = !compressed;
    ASSERT_TRUE(hrz::LoadCfgText(path.c_str(), &text, &wasCompressed));
    EXPECT_EQ(wasCompressed, compressed);
    EXPECT_EQ(text, "//TEXT\n1, Kernel\n1.1, USB, Read\n");

    EXPECT_EQ(RZWriteResFile(path.c_str(), "Kernel", "USB", "a\nb"), 0);
    ASSERT_TRUE(hrz::LoadCfgText(path.c_str(), &text, nullptr));
    EXPECT_EQ(text, "//TEXT\n1, Kernel\n1.1, USB, Read\n");
  }
  EXPECT_EQ(RZWriteResFile(dir.File("missing.xcf").c_str(), "Kernel", "USB", "Read"), 0);
  std::ofstream(dir.File("empty.xcf"));
  EXPECT_EQ(RZWriteResFile(dir.File("empty.xcf").c_str(), "Kernel", "USB", "Read"), 0);
  EXPECT_EQ(RZWriteResFile(nullptr, "Kernel", "USB", "Read"), 0);
}

// Every section and entry as "section[name=value ...]", the section called skip left out.
std::string DumpExcept(const hrz::SectionResource& resource, std::string_view skip) {
  std::string out;
  for (int s = 0; s < resource.SectionCount(); ++s) {
    const std::string section = resource.SectionName(s);
    if (hrz::EqualsNoCase(section, skip)) continue;
    out += section + "[";
    for (int e = 0; e < resource.EntryCount(section); ++e) {
      const hrz::SectionResource::Entry* entry = resource.EntryAt(section, e);
      out += entry->name + "=" + entry->value + " ";
    }
    out += "] ";
  }
  return out;
}

// On a damaged file the writer either refuses, leaving nothing changed, or writes a text in
// which the entry reads back as given and every other section reads as before.
TEST(ResFileWriter, DamagedFilesAreChangedOnlyWhereAsked) {
  const std::string policy =
      "//TEXT\r\n1, Kernel\r\n1.1, Kernel Name, K\r\n1.1, USB, None // c\r\n"
      "1.1.1, deep, x\r\n2, App\r\n2.1, a.exe, Editor|CAD\r\n2.1, c.exe\r\n"
      "3, kernel\r\n3.1, USB, Close\r\n";
  int written = 0;
  for (const std::string& text : hrztest::MutatedTexts(policy, 3000, 16)) {
    std::string out = "untouched";
    if (!SetResEntry(text, "Kernel", "USB", "Read", &out)) {
      ASSERT_EQ(out, "untouched");
      continue;
    }
    ++written;
    hrz::SectionResource before, after;
    before.Load(text);
    after.Load(out);
    ASSERT_NE(after.Find("Kernel", "USB"), nullptr) << text;
    EXPECT_EQ(*after.Find("Kernel", "USB"), "Read") << text;
    EXPECT_EQ(DumpExcept(after, "Kernel"), DumpExcept(before, "Kernel")) << text;
    EXPECT_EQ(after.EntryCount("Kernel"),
              before.EntryCount("Kernel") + (before.Find("Kernel", "USB") == nullptr ? 1 : 0))
        << text;
  }
  EXPECT_GT(written, 1500);
}

}  // namespace
}  // namespace hrzcfg
