// One message of a record save, read field by field: the count, the record block (first
// message only) and the field entries. docs/protocol.md has the layout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "save_rules.h"

namespace hrzsrv {

// The record block as sent, with its values read out.
struct SaveBlock {
  std::array<std::uint8_t, hrz::protocol::kRecordBlockSize> bytes{};
  std::int32_t itemNid = -1;
  std::int32_t itemMode = 0;
  std::int32_t linkNid = -1;
  std::int32_t parentNid = 0;
  std::int32_t linkMode = 0;
  bool IsNew() const { return itemMode == hrz::protocol::kRecordModeNew; }
};

struct SaveEntry {
  const SaveColumn* column = nullptr;  // never null once read
  std::string text;
};

struct SaveMessage {
  std::optional<SaveBlock> block;
  std::vector<SaveEntry> entries;
};

// Reads one message's fields up to the terminator into out. first: the message opens a save
// and carries the record block. Empty when the message is sound, otherwise what is wrong
// with it.
std::string ReadSaveMessage(hrz::wire::BodyReader& in, bool first, SaveMessage* out);

}  // namespace hrzsrv
