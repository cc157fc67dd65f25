#include "record_save_message.h"

#include <algorithm>

#include "hrzcommon/text.h"

namespace hrzsrv {
namespace {

namespace p = hrz::protocol;
using Field = std::span<const std::uint8_t>;

// A zero-terminated name in a fixed width, the rest zero; empty when it is not.
std::optional<std::string> FixedName(Field bytes) {
  const auto zero = std::find(bytes.begin(), bytes.end(), 0);
  if (zero == bytes.end() || zero == bytes.begin()) return std::nullopt;
  if (std::any_of(zero, bytes.end(), [](std::uint8_t b) { return b != 0; })) return std::nullopt;
  return std::string(bytes.begin(), zero);
}

std::uint16_t ReadUint16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::string ReadBlock(Field field, SaveBlock* block) {
  if (field.size() != p::kRecordBlockSize) return "the record block is not 192 bytes";
  std::copy(field.begin(), field.end(), block->bytes.begin());
  const auto name = [&](std::size_t offset, std::size_t width) {
    return FixedName(field.subspan(offset, width));
  };
  const auto number = [&](std::size_t offset) { return hrz::wire::ReadInt32(&field[offset]); };
  const std::optional<std::string> layout = name(p::kRecordLayoutOffset, p::kRecordLayoutWidth);
  const std::optional<std::string> table = name(p::kRecordTableOffset, p::kRecordTableWidth);
  const std::optional<std::string> linkTable =
      name(p::kRecordLinkTableOffset, p::kRecordLinkTableWidth);
  if (!layout) return "the block's layout name is not a zero-terminated text";
  if (!table || !hrz::EqualsNoCase(*table, "UUSR")) return "the block's item table is not UUSR";
  if (!linkTable || !hrz::EqualsNoCase(*linkTable, "UUSRBM")) {
    return "the block's structure table is not UUSRBM";
  }
  if (number(p::kRecordReservedOffset) != 0 || number(p::kRecordReserved2Offset) != 0) {
    return "the block's reserved values are not 0";
  }
  block->itemNid = number(p::kRecordNidOffset);
  block->itemMode = number(p::kRecordModeOffset);
  block->linkNid = number(p::kRecordLinkNidOffset);
  block->parentNid = number(p::kRecordParentOffset);
  block->linkMode = number(p::kRecordLinkModeOffset);
  if (block->itemMode == p::kRecordModeNew) {
    if (block->itemNid != -1 || block->linkNid != -1 || block->linkMode != p::kRecordLinkNew ||
        block->parentNid < 1) {
      return "a new record has NIDs -1, link mode 2 and a parent NID";
    }
    return {};
  }
  if (block->itemMode != p::kRecordModeUpdate) return "the item mode is neither 1 nor 2";
  if (block->itemNid < 1 || block->parentNid != 0) {
    return "an update names its record's NID and no parent";
  }
  if (block->linkMode == p::kRecordLinkUpdate) {
    return block->linkNid >= 1 ? "" : "link mode 1 needs a link NID";
  }
  if (block->linkMode == p::kRecordLinkNone) {
    return block->linkNid < 1 ? "" : "link mode 0 is for a record without a link";
  }
  return "the link mode of an update is neither 0 nor 1";
}

std::string ReadEntry(Field field, SaveEntry* entry) {
  if (field.size() < p::kSaveFieldHeader) return "a field entry is shorter than 29 bytes";
  const std::optional<std::string> name = FixedName(field.first(p::kSaveFieldNameWidth));
  if (!name) return "a field name is not a zero-padded text";
  const std::size_t dot = name->find('.');
  const SaveColumn* column = dot == std::string::npos
                                 ? nullptr
                                 : FindSaveColumn(std::string_view(*name).substr(0, dot),
                                                  std::string_view(*name).substr(dot + 1));
  if (column == nullptr) return "no record save writes the field '" + *name + "'";
  const std::uint8_t flag = field[p::kSaveFieldNameWidth];
  const bool kindField = column->value == SaveValue::kKind;
  if (flag != (kindField ? 1 : 0))
    return "the flag of " + *name + " is not " + (kindField ? "1" : "0");
  if (ReadUint16(&field[p::kSaveFieldNameWidth + 1]) != p::kSaveValueText) {
    return "the value of " + *name + " is not of type 1 (text)";
  }
  const std::size_t length = ReadUint16(&field[p::kSaveFieldNameWidth + 3]);
  if (field.size() != p::kSaveFieldHeader + length) {
    return "the value length of " + *name + " disagrees with its entry";
  }
  const Field value = field.subspan(p::kSaveFieldHeader);
  if (std::find(value.begin(), value.end(), 0) != value.end()) {
    return "the value of " + *name + " holds a zero byte";
  }
  entry->column = column;
  entry->text.assign(value.begin(), value.end());
  return {};
}

}  // namespace

std::string ReadSaveMessage(hrz::wire::BodyReader& in, bool first, SaveMessage* out) {
  Field field;
  if (!in.Next(&field) || field.size() != 4) return "the count is not a 4-byte field";
  const auto count = static_cast<std::uint32_t>(hrz::wire::ReadInt32(field.data()));
  if (first) {
    if (!in.Next(&field)) return "the first message has no record block";
    SaveBlock block;
    if (std::string error = ReadBlock(field, &block); !error.empty()) return error;
    out->block = block;
  }
  while (in.Next(&field)) {
    SaveEntry entry;
    if (std::string error = ReadEntry(field, &entry); !error.empty()) return error;
    out->entries.push_back(std::move(entry));
  }
  if (out->entries.size() != count) {
    return "the count " + std::to_string(count) + " disagrees with the " +
           std::to_string(out->entries.size()) + " field entries";
  }
  return {};
}

}  // namespace hrzsrv
