// Field value lists: the display texts of stored values of a field such as "UUSR.NSTAT".
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace hrzcfg {

struct FieldValue {
  const char* stored;
  const char* shown;
};

// The list of a field ("TABLE.COLUMN", either case); empty when the field has none.
std::span<const FieldValue> FieldValueList(std::string_view field);

// The stored value behind a shown text (trimmed, either case); a stored value given as it
// is also counts. False when the field has no list or the text is not in it.
bool StoredValueOf(std::string_view field, std::string_view shown, std::string* stored);

}  // namespace hrzcfg
