#include "messages.h"

#include <atomic>
#include <map>
#include <string_view>
#include <utility>

#include "hrzcommon/text.h"
#include "message_catalogues.h"

namespace hrzcfg {
namespace {

using Key = std::pair<std::string_view, std::string_view>;
using Index = std::map<Key, const char*>;

std::atomic<MessageLanguage> g_language{MessageLanguage::English};

Index MakeIndex(std::span<const MessageEntry> entries) {
  Index index;
  for (const MessageEntry& entry : entries)
    index.emplace(Key{entry.section, entry.key}, entry.text);
  return index;
}

const Index& IndexOf(MessageLanguage language) {
  static const Index english = MakeIndex(EnglishMessages());
  static const Index german = MakeIndex(GermanMessages());
  return language == MessageLanguage::German ? german : english;
}

}  // namespace

std::span<const MessageEntry> MessageCatalogue(MessageLanguage language) {
  return language == MessageLanguage::German ? GermanMessages() : EnglishMessages();
}

void SelectMessageLanguage(MessageLanguage language) {
  g_language = language;
}

MessageLanguage SelectedMessageLanguage() {
  return g_language;
}

std::optional<MessageLanguage> MessageLanguageNamed(std::string_view name) {
  // "de", "de_DE.UTF-8", "de-AT@euro": the language is the part before the region.
  const std::string_view language = name.substr(0, name.find_first_of("_-.@"));
  if (hrz::EqualsNoCase(language, "de")) return MessageLanguage::German;
  if (hrz::EqualsNoCase(language, "en")) return MessageLanguage::English;
  return std::nullopt;
}

const char* MessageText(std::string_view section, std::string_view key) {
  return MessageText(g_language, section, key);
}

const char* MessageText(MessageLanguage language, std::string_view section, std::string_view key) {
  const Index& texts = IndexOf(language);
  auto it = texts.find({section, key});
  return it != texts.end() ? it->second : nullptr;
}

}  // namespace hrzcfg
