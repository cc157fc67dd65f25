#include "value_lists.h"

#include <strings.h>

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

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::span<const FieldValue> FieldValueList(std::string_view field) {
  for (const FieldList& list : kLists) {
    if (SameNoCase(list.field, field)) return list.values;
  }
  return {};
}

bool StoredValueOf(std::string_view field, std::string_view shown, std::string* stored) {
  shown = Trim(shown);
  for (const FieldValue& value : FieldValueList(field)) {
    if (SameNoCase(value.shown, shown) || shown == value.stored) {
      *stored = value.stored;
      return true;
    }
  }
  return false;
}

}  // namespace hrzcfg
