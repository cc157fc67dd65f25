// The host and the module agree: every message key the module's sources ask for has a host
// text with the placeholder the module fills in, and none without.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "host_bridge.h"
#include "module_text_keys.h"

namespace hrzhost {
namespace {

namespace fs = std::filesystem;
using hrztest::ScanTextLookups;
using hrztest::TextKeyScan;
using hrztest::TextKeyUse;

// Every source of the module but the lookup itself, by its path inside module/.
std::map<std::string, std::string> ModuleSources() {
  std::map<std::string, std::string> sources;
  const fs::path root = HRZ_MODULE_SOURCE_DIR;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".cpp" && extension != ".h") continue;
    const std::string name = fs::relative(entry.path(), root).string();
    if (name == "entry/texts.cpp" || name == "entry/texts.h") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    sources[name] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return sources;
}

// What is wrong with the host's text for a use; empty when nothing is. FormatTemplate fills
// the first %s, %d, %i or %u and turns "%%" into "%"; a text shown as it is has no "%".
std::string HostTextProblem(const HostBridge& bridge, const TextKeyUse& use) {
  const char* text =
      bridge.Lib().callback(1, 1, reinterpret_cast<std::intptr_t>(use.section.c_str()),
                            reinterpret_cast<std::intptr_t>(use.key.c_str()));
  const std::string name = use.where + ": " + use.section + "." + use.key;
  if (text == nullptr || text[0] == '\0') return name + " has no host text";
  const std::string value = text;
  if (!use.formatted) {
    return value.find('%') == std::string::npos ? "" : name + " is shown as it is: " + value;
  }
  int placeholders = 0;
  for (std::size_t i = value.find('%'); i != std::string::npos; i = value.find('%', i + 2)) {
    const char next = i + 1 < value.size() ? value[i + 1] : '\0';
    if (next == '%') continue;
    if (next != 's' && next != 'd' && next != 'i' && next != 'u') {
      return name + " has a placeholder the module does not fill: " + value;
    }
    ++placeholders;
  }
  return placeholders == 1 ? "" : name + " needs exactly one placeholder: " + value;
}

TEST(ModuleTexts, EveryKeyTheModuleAsksForHasAHostTextWithItsPlaceholder) {
  const TextKeyScan scan = ScanTextLookups(ModuleSources());
  for (const std::string& error : scan.errors) ADD_FAILURE() << error;
  auto found = [&scan](const char* section, const char* key, bool formatted) {
    return std::any_of(scan.uses.begin(), scan.uses.end(), [&](const TextKeyUse& use) {
      return use.section == section && use.key == key && use.formatted == formatted;
    });
  };
  ASSERT_TRUE(found("dlg_chgpwd", "dlg_cap", true)) << "the caption template is read";
  ASSERT_TRUE(found("dlg_lock_system", "adm locked", false)) << "both keys of a conditional";
  HostBridge bridge;
  for (const TextKeyUse& use : scan.uses) {
    const std::string problem = HostTextProblem(bridge, use);
    EXPECT_TRUE(problem.empty()) << problem;
  }
}

TEST(ModuleTexts, TheCheckRefusesAMissingTextAndAWrongPlaceholder) {
  HostBridge bridge;
  struct Case {
    TextKeyUse use;
    const char* problem;  // part of it; empty: none
  };
  const Case cases[] = {
      {{"dlg_chgpwd", "btn_ok", false, "a.cpp:1"}, ""},
      {{"dlg_chgpwd", "dlg_cap", true, "a.cpp:2"}, ""},
      {{"dlg_chgpwd", "no such key", false, "a.cpp:3"}, "a.cpp:3: dlg_chgpwd.no such key has no"},
      {{"dlg_chgpwd", "btn_ok", true, "a.cpp:4"}, "needs exactly one placeholder"},
      {{"dlg_chgpwd", "dlg_cap", false, "a.cpp:5"}, "is shown as it is"},
  };
  for (const Case& c : cases) {
    const std::string problem = HostTextProblem(bridge, c.use);
    if (c.problem[0] == '\0') {
      EXPECT_EQ(problem, "") << c.use.where;
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << c.use.where << ": " << problem;
    }
  }
}

// The scan itself, on sources written for it.
TEST(ModuleTextScan, ReadsEveryFormOfLookup) {
  const std::map<std::string, std::string> sources = {
      {"a.cpp", R"src(#include "entry/texts.h"
UnitTexts T("dlg_a");
SectionTexts other;
/* T("in a comment") */
void F(bool admin, int s, const std::string& code) {
  T("plain");
  Show(FormatTemplate(T("cap"), code));
  other("dlg_b", admin ? "adm locked" : "user locked");
  if (T.HostHas("maybe")) Use(T.section());
  HostText("dlg_c", "direct");
  T(s == 3 ? "x" : s == 2 ? "y" : "z");
  Say("T(\"in a string\")", 'T');
  T("one "
    "literal");
}
)src"},
      {"b.h", "struct D {\n  UnitTexts m_texts{\"dlg_d\"};\n};\n"},
      {"b.cpp", "void D::F() {\n  m_texts(R\"(raw)\");\n}\n"},
  };
  const TextKeyScan scan = ScanTextLookups(sources);
  EXPECT_EQ(scan.errors, std::vector<std::string>{});
  const std::vector<TextKeyUse> expected = {
      {"dlg_a", "plain", false, "a.cpp:6"},      {"dlg_a", "cap", true, "a.cpp:7"},
      {"dlg_b", "adm locked", false, "a.cpp:8"}, {"dlg_b", "user locked", false, "a.cpp:8"},
      {"dlg_a", "maybe", false, "a.cpp:9"},      {"dlg_c", "direct", false, "a.cpp:10"},
      {"dlg_a", "x", false, "a.cpp:11"},         {"dlg_a", "y", false, "a.cpp:11"},
      {"dlg_a", "z", false, "a.cpp:11"},         {"dlg_a", "one literal", false, "a.cpp:13"},
      {"dlg_d", "raw", false, "b.cpp:2"},
  };
  EXPECT_EQ(scan.uses, expected);
}

TEST(ModuleTextScan, ReportsWhatItCannotRead) {
  struct Case {
    const char* source;
    const char* error;
  };
  const Case cases[] = {
      {"UnitTexts T(\"s\");\nvoid F(const char* k) { T(k); }",
       "a.cpp:2: the key asked of T is not a literal"},
      {"UnitTexts T(\"s\");\nvoid F(bool b, const char* k) { T(b ? \"x\" : k); }",
       "a.cpp:2: the key asked of T is not a literal"},
      {"SectionTexts t;\nvoid F(const char* s) { t(s, \"k\"); }",
       "a.cpp:2: the section asked of t is not a literal"},
      {"void F(const char* k) {\n  HostText(\"s\", k);\n}",
       "a.cpp:2: the key asked of HostText is not a literal"},
      {"UnitTexts T(kSection);", "a.cpp:1: the section of T is not a literal"},
      {"UnitTexts T(\"s\");\nvoid F() { Use(T); }",
       "a.cpp:2: T is used in a way the scan cannot follow"},
  };
  for (const Case& c : cases) {
    const TextKeyScan scan = ScanTextLookups({{"a.cpp", c.source}});
    EXPECT_EQ(scan.errors, std::vector<std::string>{c.error}) << c.source;
  }
}

}  // namespace
}  // namespace hrzhost
