// The host's message catalogues: the display text of each message key (a section and a key)
// that the module asks for through the host callback, in English and in German. Some texts
// are printf templates of their callers ("%s" for a user code, "%d" for a count); every
// catalogue has the same keys with the same conversions in the same order.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace hrzcfg {

enum class MessageLanguage { English, German };

struct MessageEntry {
  const char* section;
  const char* key;
  const char* text;  // UTF-8
};

// Every entry of a language's catalogue, in the catalogue's own order.
std::span<const MessageEntry> MessageCatalogue(MessageLanguage language);

// The language MessageText answers in, for the whole process; English until chosen.
void SelectMessageLanguage(MessageLanguage language);
MessageLanguage SelectedMessageLanguage();

// The language of a name such as "de", "en", "de_DE.UTF-8" or "de-AT" (letter case aside);
// none for a name of another language or none at all.
std::optional<MessageLanguage> MessageLanguageNamed(std::string_view name);

// The text of section and key (both compared exactly) in the selected language, or null when
// the catalogue has none.
const char* MessageText(std::string_view section, std::string_view key);
// The same in a given language.
const char* MessageText(MessageLanguage language, std::string_view section, std::string_view key);

}  // namespace hrzcfg
