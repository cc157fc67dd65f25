#include "value_lists.h"

#include "hrzcommon/text.h"

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

}  // namespace

std::span<const FieldValue> FieldValueList(std::string_view field) {
  for (const FieldList& list : kLists) {
    if (hrz::EqualsNoCase(list.field, field)) return list.values;
  }
  return {};
}

bool StoredValueOf(std::string_view field, std::string_view shown, std::string* stored) {
  shown = hrz::TrimBlanks(shown);
  for (const FieldValue& value : FieldValueList(field)) {
    if (hrz::EqualsNoCase(value.shown, shown) || shown == value.stored) {
      *stored = value.stored;
      return true;
    }
  }
  return false;
}

}  // namespace hrzcfg
