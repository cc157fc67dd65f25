// Record save messages built by hand, byte by byte, for the server's tests: the record
// block, the field entries and whole message bodies, each part open to being made wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hrzcommon/protocol.h"

namespace hrztest {

using SaveBytes = std::vector<std::uint8_t>;

struct SaveBlockSpec {
  std::string layout = "UUSR";
  std::string table = "UUSR";
  std::string linkTable = "UUSRBM";
  std::int32_t itemNid = -1;
  std::int32_t itemMode = hrz::protocol::kRecordModeUpdate;
  std::int32_t linkNid = -1;
  std::int32_t parentNid = 0;
  std::int32_t linkMode = hrz::protocol::kRecordLinkNone;
};
// The block of an update of record nid; with a link NID, an update of that link too.
SaveBlockSpec UpdateOf(std::int32_t nid, std::int32_t linkNid = -1);
// The block of a new record under parent.
SaveBlockSpec NewUnder(std::int32_t parent, std::string layout = "UUSR New");
SaveBytes BlockBytes(const SaveBlockSpec& spec);

// One field entry: the name zero-padded to 24 bytes, flag 1 on "UUSR.CSRC", type 1, length.
SaveBytes Entry(const std::string& name, const std::string& value);

// A message body: the count (the number of entries unless given), the block when there is
// one, the entries and the terminator.
SaveBytes SaveBody(const std::optional<SaveBlockSpec>& block, const std::vector<SaveBytes>& entries,
                   std::optional<std::uint32_t> count = std::nullopt);

}  // namespace hrztest
