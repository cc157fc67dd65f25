#include "org/save_message.h"

#include <algorithm>
#include <cstring>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"

namespace hrz {
namespace {

constexpr std::size_t kLayoutWidth = 98;
constexpr std::size_t kTableWidth = 33;
constexpr std::size_t kItemTableOffset = 98;
constexpr std::size_t kItemNidOffset = 131;
constexpr std::size_t kItemModeOffset = 139;
constexpr std::size_t kLinkTableOffset = 143;
constexpr std::size_t kLinkNidOffset = 176;
constexpr std::size_t kParentNidOffset = 180;
constexpr std::size_t kLinkModeOffset = 188;

constexpr std::size_t kEntryHeader = 29;  // name, kind flag, value type, value length
constexpr std::uint16_t kValueTypeText = 1;
constexpr std::size_t kLengthWord = 2;
constexpr std::size_t kCountField = kLengthWord + 4;

void PutText(std::vector<std::uint8_t>& out, std::size_t offset, std::size_t width,
             std::string_view text) {
  std::memcpy(out.data() + offset, text.data(), std::min(text.size(), width - 1));
}

void PutUInt16(std::uint8_t* at, std::size_t value) {
  at[0] = static_cast<std::uint8_t>(value & 0xff);
  at[1] = static_cast<std::uint8_t>((value >> 8) & 0xff);
}

void AppendUInt16(std::vector<std::uint8_t>& out, std::size_t value) {
  out.resize(out.size() + 2);
  PutUInt16(out.data() + out.size() - 2, value);
}

}  // namespace

std::vector<std::uint8_t> EncodeRecordBlock(const RecordBlock& block) {
  std::vector<std::uint8_t> out(protocol::kRecordBlockSize, 0);
  PutText(out, 0, kLayoutWidth, block.layout);
  PutText(out, kItemTableOffset, kTableWidth, "UUSR");
  wire::WriteInt32(out.data() + kItemNidOffset, block.itemNid);
  wire::WriteInt32(out.data() + kItemModeOffset, block.itemMode);
  PutText(out, kLinkTableOffset, kTableWidth, "UUSRBM");
  wire::WriteInt32(out.data() + kLinkNidOffset, block.linkNid);
  wire::WriteInt32(out.data() + kParentNidOffset, block.parentNid);
  wire::WriteInt32(out.data() + kLinkModeOffset, block.linkMode);
  return out;
}

RecordSaveMessages::RecordSaveMessages(const RecordBlock& block, Sender send)
    : send_(std::move(send)), block_(EncodeRecordBlock(block)) {
  StartBody(true);
}

void RecordSaveMessages::StartBody(bool withBlock) {
  body_.clear();
  inBody_ = 0;
  AppendUInt16(body_, 4);
  body_.resize(kCountField);  // the count, written when the body closes
  if (withBlock) {
    AppendUInt16(body_, block_.size());
    body_.insert(body_.end(), block_.begin(), block_.end());
  }
}

void RecordSaveMessages::CloseBody() {
  wire::WriteInt32(body_.data() + kLengthWord, inBody_);
  AppendUInt16(body_, protocol::kTerminator);
}

bool RecordSaveMessages::Append(std::string_view field, std::string_view value, bool kind) {
  if (field.size() > kSaveFieldNameMax) return false;
  const std::size_t entry = kEntryHeader + value.size();
  // The entry, its length word and the terminator after it must fit one body.
  if (kCountField + entry + 2 * kLengthWord > kSaveBodyCapacity) return false;
  if (body_.size() + entry + 2 * kLengthWord > kSaveBodyCapacity) {
    CloseBody();
    if (!send_(body_, false)) return false;
    StartBody(false);
  }
  AppendUInt16(body_, entry);
  const std::size_t start = body_.size();
  body_.resize(start + kEntryHeader, 0);
  std::memcpy(body_.data() + start, field.data(), field.size());
  body_[start + kSaveFieldNameMax] = kind ? 1 : 0;
  PutUInt16(body_.data() + start + 25, kValueTypeText);
  PutUInt16(body_.data() + start + 27, value.size());
  body_.insert(body_.end(), value.begin(), value.end());
  ++inBody_;
  ++appended_;
  return true;
}

bool RecordSaveMessages::Finish() {
  if (appended_ == 0) return true;
  CloseBody();
  return send_(body_, true);
}

}  // namespace hrz
