#include "value_lists.h"

#include <vector>

#include "hrzcommon/text.h"
#include "messages.h"

namespace hrzcfg {
namespace {

struct FieldList {
  const char* field;
  std::span<const FieldValue> values;
};

constexpr FieldValue kUserStates[] = {
    {"255", "Normal"},
    {"254", "Deleted"},
};

constexpr FieldList kLists[] = {
    {"UUSR.NSTAT", kUserStates},
};

// The English list of a field; empty when the field has none.
std::span<const FieldValue> EnglishList(std::string_view field) {
  for (const FieldList& list : kLists) {
    if (hrz::EqualsNoCase(list.field, field)) return list.values;
  }
  return {};
}

// The shown texts of every list in one language, from the catalogue's "values" entries.
std::vector<std::vector<FieldValue>> ListsIn(MessageLanguage language) {
  std::vector<std::vector<FieldValue>> lists;
  for (const FieldList& list : kLists) {
    std::vector<FieldValue>& values = lists.emplace_back();
    for (const FieldValue& value : list.values) {
      const char* shown = MessageText(language, "values", value.shown);
      values.push_back({value.stored, shown != nullptr ? shown : value.shown});
    }
  }
  return lists;
}

}  // namespace

std::span<const FieldValue> FieldValueList(std::string_view field) {
  static const std::vector<std::vector<FieldValue>> german = ListsIn(MessageLanguage::German);
  if (SelectedMessageLanguage() == MessageLanguage::English) return EnglishList(field);
  for (std::size_t i = 0; i < std::size(kLists); ++i) {
    if (hrz::EqualsNoCase(kLists[i].field, field)) return german[i];
  }
  return {};
}

bool StoredValueOf(std::string_view field, std::string_view shown, std::string* stored) {
  shown = hrz::TrimBlanks(shown);
  // A value typed in English is taken in any language.
  const std::span<const FieldValue> english = EnglishList(field);
  const std::span<const FieldValue> selected = FieldValueList(field);
  for (std::size_t i = 0; i < english.size(); ++i) {
    const FieldValue& value = english[i];
    if (hrz::EqualsNoCase(value.shown, shown) || hrz::EqualsNoCase(selected[i].shown, shown) ||
        shown == value.stored) {
      *stored = value.stored;
      return true;
    }
  }
  return false;
}

}  // namespace hrzcfg
