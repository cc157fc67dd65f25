// The message catalogues agree: every catalogue has every key of the English one, no other,
// each once, with the same printf conversions in the same order; and the language follows
// the name it is chosen by.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "grid_configs.h"
#include "layouts.h"
#include "messages.h"
#include "value_lists.h"

namespace hrzcfg {
namespace {

// The printf conversions of a text in order, flags and width included ("%-5d"); "%%" is
// none.
std::vector<std::string> Conversions(const std::string& text) {
  std::vector<std::string> found;
  for (std::size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i)) {
    std::size_t end = text.find_first_not_of("-+ #0123456789.hlLzjt", i + 1);
    if (end == std::string::npos) {
      found.push_back(text.substr(i));
      break;
    }
    if (text[end] != '%' || end != i + 1) found.push_back(text.substr(i, end - i + 1));
    i = end + 1;
  }
  return found;
}

// What a catalogue gets wrong against the reference one; empty when nothing.
std::vector<std::string> CatalogueProblems(std::span<const MessageEntry> reference,
                                           std::span<const MessageEntry> other) {
  using Key = std::pair<std::string, std::string>;
  std::vector<std::string> problems;
  auto index = [&problems](std::span<const MessageEntry> entries, const char* which) {
    std::map<Key, std::string> texts;
    for (const MessageEntry& entry : entries) {
      const std::string name = std::string(entry.section) + "." + entry.key;
      if (!texts.emplace(Key{entry.section, entry.key}, entry.text).second) {
        problems.push_back(name + " twice in the " + which + " catalogue");
      }
      if (std::string(entry.text).empty()) problems.push_back(name + " is empty");
    }
    return texts;
  };
  const std::map<Key, std::string> wanted = index(reference, "reference");
  const std::map<Key, std::string> given = index(other, "other");
  for (const auto& [key, text] : wanted) {
    const std::string name = key.first + "." + key.second;
    auto it = given.find(key);
    if (it == given.end()) {
      problems.push_back(name + " is missing");
    } else if (Conversions(it->second) != Conversions(text)) {
      problems.push_back(name + " has other placeholders: " + it->second);
    }
  }
  for (const auto& [key, text] : given) {
    if (!wanted.contains(key)) problems.push_back(key.first + "." + key.second + " is extra");
  }
  return problems;
}

TEST(MessageCatalogues, EveryCatalogueHasEveryKeyWithTheSamePlaceholders) {
  const std::span<const MessageEntry> english = MessageCatalogue(MessageLanguage::English);
  EXPECT_GT(english.size(), 200u);
  EXPECT_EQ(CatalogueProblems(english, english), std::vector<std::string>{});
  EXPECT_EQ(CatalogueProblems(english, MessageCatalogue(MessageLanguage::German)),
            std::vector<std::string>{});
}

TEST(MessageCatalogues, TheCheckFindsWhatATranslationGetsWrong) {
  const MessageEntry reference[] = {
      {"s", "cap", "Change password of %s"},
      {"s", "pair", "%s has %d rows"},
      {"s", "plain", "100%% done"},
  };
  struct Case {
    const char* label;
    std::vector<MessageEntry> other;
    std::vector<std::string> problems;
  };
  const Case cases[] = {
      {"a faithful translation",
       {{"s", "cap", "Kennwort von %s ändern"},
        {"s", "pair", "%s hat %d Zeilen"},
        {"s", "plain", "100%% fertig"}},
       {}},
      {"a missing key and an extra one",
       {{"s", "cap", "Kennwort von %s ändern"},
        {"s", "pair", "%s hat %d Zeilen"},
        {"s", "plane", "fertig"}},
       {"s.plain is missing", "s.plane is extra"}},
      {"a changed, a swapped and a dropped placeholder",
       {{"s", "cap", "Kennwort von %d ändern"},
        {"s", "pair", "%d Zeilen hat %s"},
        {"s", "plain", "100% fertig"}},
       {"s.cap has other placeholders: Kennwort von %d ändern",
        "s.pair has other placeholders: %d Zeilen hat %s",
        "s.plain has other placeholders: 100% fertig"}},
      {"a key twice and an empty text",
       {{"s", "cap", "Kennwort von %s ändern"},
        {"s", "cap", "Kennwort von %s"},
        {"s", "pair", "%s hat %d Zeilen"},
        {"s", "plain", ""}},
       {"s.cap twice in the other catalogue", "s.plain is empty"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CatalogueProblems(reference, c.other), c.problems) << c.label;
  }
}

TEST(MessageCatalogues, ALanguageIsChosenByItsNameOrLocale) {
  const std::pair<const char*, std::optional<MessageLanguage>> cases[] = {
      {"de", MessageLanguage::German},
      {"DE", MessageLanguage::German},
      {"de_DE.UTF-8", MessageLanguage::German},
      {"de-AT", MessageLanguage::German},
      {"de_CH@euro", MessageLanguage::German},
      {"en", MessageLanguage::English},
      {"en_GB.UTF-8", MessageLanguage::English},
      {"fr_FR", std::nullopt},
      {"C", std::nullopt},
      {"", std::nullopt},
      {"deu", std::nullopt},
  };
  for (const auto& [name, language] : cases)
    EXPECT_EQ(MessageLanguageNamed(name), language) << name;
}

TEST(MessageCatalogues, TheSelectedLanguageAnswers) {
  ASSERT_EQ(SelectedMessageLanguage(), MessageLanguage::English) << "English until chosen";
  EXPECT_STREQ(MessageText("dlg_chgpwd", "lbl_old_pwd"), "Old password");
  SelectMessageLanguage(MessageLanguage::German);
  EXPECT_STREQ(MessageText("dlg_chgpwd", "lbl_old_pwd"), "Altes Kennwort");
  EXPECT_STREQ(MessageText("dlg_userman", "search result rows"), "%d Zeilen gefunden");
  EXPECT_EQ(MessageText("dlg_chgpwd", "no such key"), nullptr);
  SelectMessageLanguage(MessageLanguage::English);
  EXPECT_STREQ(MessageText("dlg_chgpwd", "lbl_old_pwd"), "Old password");
}

// The texts of "label, TEXT" lines, in order.
std::vector<std::string> Labels(const char* script) {
  std::vector<std::string> labels;
  const std::string text = script != nullptr ? script : "";
  const std::string marker = ", label, ";
  for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
    at += marker.size();
    labels.push_back(text.substr(at, text.find('\n', at) - at));
  }
  return labels;
}

// Grid headings, form labels and value lists follow the selected language; each label of
// every grid and form has a German text, so none stays English unseen.
TEST(MessageCatalogues, GridsFormsAndValueListsShowTheSelectedLanguage) {
  struct Restore {
    ~Restore() { SelectMessageLanguage(MessageLanguage::English); }
  } restore;
  const char* const layouts[] = {"UUSR", "UUSR New", "UDEPT", "UDEPT New", "UROLE", "UROLE New"};
  const char* const grids[] = {"User Search Result", "User Stat Result", "Func Pvg Grid",
                               "SetupInfo Grid"};
  std::vector<std::pair<const char*, std::vector<std::string>>> english;
  for (const char* name : layouts)
    english.emplace_back(LayoutScript(name), Labels(LayoutScript(name)));
  for (const char* name : grids) {
    english.emplace_back(GridConfigScript(name), Labels(GridConfigScript(name)));
  }
  SelectMessageLanguage(MessageLanguage::German);
  std::size_t index = 0;
  for (const char* name : layouts) {
    const auto& [englishScript, englishLabels] = english[index++];
    EXPECT_NE(LayoutScript(name), englishScript) << name;
    std::vector<std::string> wanted;
    for (const std::string& label : englishLabels) {
      const char* german = MessageText("labels", label);
      EXPECT_NE(german, nullptr) << name << ": " << label;
      wanted.push_back(german != nullptr ? german : label);
    }
    EXPECT_EQ(Labels(LayoutScript(name)), wanted) << name;
  }
  for (const char* name : grids) {
    const auto& [englishScript, englishLabels] = english[index++];
    std::vector<std::string> wanted;
    for (const std::string& label : englishLabels) {
      const char* german = MessageText("labels", label);
      EXPECT_NE(german, nullptr) << name << ": " << label;
      wanted.push_back(german != nullptr ? german : label);
    }
    EXPECT_EQ(Labels(GridConfigScript(name)), wanted) << name;
  }
  EXPECT_NE(std::string(LayoutScript("uusr")).find("1.1.1, label, Wiederholung\n"),
            std::string::npos);
  EXPECT_EQ(LayoutScript("uusr"), LayoutScript("UUSR")) << "one copy per language";

  ASSERT_EQ(FieldValueList("UUSR.NSTAT").size(), 2u);
  EXPECT_STREQ(FieldValueList("uusr.nstat")[1].shown, "Gelöscht");
  std::string stored;
  for (const char* typed : {"Gelöscht", " Deleted ", "254"}) {
    stored.clear();
    EXPECT_TRUE(StoredValueOf("UUSR.NSTAT", typed, &stored)) << typed;
    EXPECT_EQ(stored, "254") << typed;
  }
  EXPECT_FALSE(StoredValueOf("UUSR.NSTAT", "Entfernt", &stored));

  SelectMessageLanguage(MessageLanguage::English);
  EXPECT_EQ(LayoutScript("UUSR"), english[0].first) << "the English copy again";
  EXPECT_STREQ(FieldValueList("UUSR.NSTAT")[1].shown, "Deleted");
  EXPECT_FALSE(StoredValueOf("UUSR.NSTAT", "Gelöscht", &stored));
}

}  // namespace
}  // namespace hrzcfg
