#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "entry/module_state.h"
#include "entry/texts.h"

namespace hrz {
namespace {

// A host catalogue: known keys answer, "empty" answers "", everything else null.
std::map<std::string, std::string> g_catalogue;
int g_calls = 0;

char* FakeHost(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d) {
  ++g_calls;
  if (a != 1 || b != 1) return nullptr;
  std::string id =
      std::string(reinterpret_cast<const char*>(c)) + "/" + reinterpret_cast<const char*>(d);
  auto it = g_catalogue.find(id);
  return it == g_catalogue.end() ? nullptr : it->second.data();
}

class TextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_catalogue = {{"dlg_chgpwd/btn_ok", "OK"}, {"dlg_chgpwd/empty", ""}};
    g_calls = 0;
    lib_.callback = FakeHost;
  }
  void TearDown() override { Module() = ModuleState{}; }
  tagHRZLib lib_;
};

TEST_F(TextsTest, WithoutHostTheRingCyclesThroughEightBuffers) {
  UnitTexts texts("dlg_chgpwd");
  const char* first = texts("btn_ok");
  EXPECT_STREQ(first, "dlg_chgpwd.btn_ok");
  const char* seen[8] = {first};
  for (int i = 1; i < 8; ++i) {
    seen[i] = texts("k");
    for (int j = 0; j < i; ++j) EXPECT_NE(seen[i], seen[j]) << "buffer reused too early";
  }
  EXPECT_STREQ(first, "dlg_chgpwd.btn_ok") << "survives the next seven lookups";
  EXPECT_EQ(texts("btn_cancel"), first) << "the ninth lookup reuses buffer 0";
  EXPECT_STREQ(first, "dlg_chgpwd.btn_cancel");
}

TEST_F(TextsTest, EachUnitHasItsOwnRing) {
  UnitTexts a("a"), b("b");
  const char* fromA = a("x");
  EXPECT_NE(b("x"), fromA);
  EXPECT_STREQ(fromA, "a.x");
}

TEST_F(TextsTest, HostTextIsReturnedUnchangedAndEmptyFallsBack) {
  Module().lib = &lib_;
  UnitTexts texts("dlg_chgpwd");
  const char* ok = texts("btn_ok");
  EXPECT_EQ(ok, g_catalogue["dlg_chgpwd/btn_ok"].data());
  EXPECT_STREQ(texts("empty"), "dlg_chgpwd.empty");
  EXPECT_STREQ(texts("missing"), "dlg_chgpwd.missing");
  EXPECT_TRUE(texts.HostHas("btn_ok"));
  EXPECT_FALSE(texts.HostHas("empty"));
  EXPECT_FALSE(texts.HostHas("missing"));

  SectionTexts any;
  EXPECT_STREQ(any("dlg_chgpwd", "btn_ok"), "OK");
  EXPECT_STREQ(any("dlg_userman", "btn_ok"), "dlg_userman.btn_ok");
}

TEST_F(TextsTest, RecordWithoutCallbackIsNotCalled) {
  tagHRZLib noCallback;
  Module().lib = &noCallback;
  UnitTexts texts("s");
  EXPECT_STREQ(texts("k"), "s.k");
  EXPECT_FALSE(texts.HostHas("k"));
  EXPECT_EQ(g_calls, 0);
}

TEST_F(TextsTest, FallbackLengthRules) {
  // Section, full stop and key while they and the terminator stay below 128 bytes;
  // else the key alone while it fits; else the key's first 127 bytes.
  struct Case {
    std::size_t sectionLength, keyLength;
    enum { kBoth, kKey, kCut } form;
  };
  const Case cases[] = {
      {60, 65, Case::kBoth},  // 127 bytes with the terminator
      {60, 66, Case::kKey},   // the pair would need 128 + 1
      {60, 67, Case::kKey},  {10, 126, Case::kKey}, {10, 127, Case::kCut}, {0, 200, Case::kCut},
  };
  for (const Case& c : cases) {
    std::string section(c.sectionLength, 's'), key(c.keyLength, 'k');
    SectionTexts texts;
    std::string got = texts(section.c_str(), key.c_str());
    std::string expected = c.form == Case::kBoth  ? section + "." + key
                           : c.form == Case::kKey ? key
                                                  : key.substr(0, 127);
    EXPECT_EQ(got, expected) << c.sectionLength << " + " << c.keyLength;
  }
}

}  // namespace
}  // namespace hrz
