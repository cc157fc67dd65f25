#include "support/save_message.h"

#include <algorithm>

#include "hrzcommon/wire.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;

void PutName(SaveBytes* bytes, std::size_t offset, const std::string& name) {
  std::copy(name.begin(), name.end(), bytes->begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutUint16(SaveBytes* bytes, std::size_t offset, std::size_t value) {
  (*bytes)[offset] = static_cast<std::uint8_t>(value & 0xff);
  (*bytes)[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xff);
}

}  // namespace

SaveBlockSpec UpdateOf(std::int32_t nid, std::int32_t linkNid) {
  SaveBlockSpec spec;
  spec.itemNid = nid;
  spec.linkNid = linkNid;
  spec.linkMode = linkNid >= 1 ? p::kRecordLinkUpdate : p::kRecordLinkNone;
  return spec;
}

SaveBlockSpec NewUnder(std::int32_t parent, std::string layout) {
  SaveBlockSpec spec;
  spec.layout = std::move(layout);
  spec.itemMode = p::kRecordModeNew;
  spec.parentNid = parent;
  spec.linkMode = p::kRecordLinkNew;
  return spec;
}

SaveBytes BlockBytes(const SaveBlockSpec& spec) {
  SaveBytes block(p::kRecordBlockSize, 0);
  PutName(&block, p::kRecordLayoutOffset, spec.layout);
  PutName(&block, p::kRecordTableOffset, spec.table);
  PutName(&block, p::kRecordLinkTableOffset, spec.linkTable);
  hrz::wire::WriteInt32(&block[p::kRecordNidOffset], spec.itemNid);
  hrz::wire::WriteInt32(&block[p::kRecordModeOffset], spec.itemMode);
  hrz::wire::WriteInt32(&block[p::kRecordLinkNidOffset], spec.linkNid);
  hrz::wire::WriteInt32(&block[p::kRecordParentOffset], spec.parentNid);
  hrz::wire::WriteInt32(&block[p::kRecordLinkModeOffset], spec.linkMode);
  return block;
}

SaveBytes Entry(const std::string& name, const std::string& value) {
  SaveBytes entry(p::kSaveFieldHeader, 0);
  PutName(&entry, 0, name.substr(0, p::kSaveFieldNameWidth));
  entry[p::kSaveFieldNameWidth] = name == "UUSR.CSRC" ? 1 : 0;
  PutUint16(&entry, p::kSaveFieldNameWidth + 1, p::kSaveValueText);
  PutUint16(&entry, p::kSaveFieldNameWidth + 3, value.size());
  entry.insert(entry.end(), value.begin(), value.end());
  return entry;
}

SaveBytes SaveBody(const std::optional<SaveBlockSpec>& block, const std::vector<SaveBytes>& entries,
                   std::optional<std::uint32_t> count) {
  hrz::wire::BodyWriter body;
  std::uint8_t countBytes[4];
  hrz::wire::WriteInt32(
      countBytes,
      static_cast<std::int32_t>(count.value_or(static_cast<std::uint32_t>(entries.size()))));
  body.PutBytes(countBytes, sizeof countBytes);
  if (block) {
    const SaveBytes bytes = BlockBytes(*block);
    body.PutBytes(bytes.data(), bytes.size());
  }
  for (const SaveBytes& entry : entries) body.PutBytes(entry.data(), entry.size());
  return body.Finish();
}

}  // namespace hrztest
