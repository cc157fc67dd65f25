#include "org/save_message.h"

#include <algorithm>
#include <cstring>

#include "entry/request_channel.h"
#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"

namespace hrz {
namespace {

namespace p = protocol;

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
  std::vector<std::uint8_t> out(p::kRecordBlockSize, 0);
  PutText(out, p::kRecordLayoutOffset, p::kRecordLayoutWidth, block.layout);
  PutText(out, p::kRecordTableOffset, p::kRecordTableWidth, "UUSR");
  wire::WriteInt32(out.data() + p::kRecordNidOffset, block.itemNid);
  wire::WriteInt32(out.data() + p::kRecordModeOffset, block.itemMode);
  PutText(out, p::kRecordLinkTableOffset, p::kRecordLinkTableWidth, "UUSRBM");
  wire::WriteInt32(out.data() + p::kRecordLinkNidOffset, block.linkNid);
  wire::WriteInt32(out.data() + p::kRecordParentOffset, block.parentNid);
  wire::WriteInt32(out.data() + p::kRecordLinkModeOffset, block.linkMode);
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
  AppendUInt16(body_, p::kTerminator);
}

bool RecordSaveMessages::Append(std::string_view field, std::string_view value, bool kind) {
  if (field.size() > p::kSaveFieldNameWidth) return false;
  const std::size_t entry = p::kSaveFieldHeader + value.size();
  // The entry, its length word and the terminator after it must fit one body.
  if (kCountField + entry + 2 * kLengthWord > kRequestBodyCapacity) return false;
  if (body_.size() + entry + 2 * kLengthWord > kRequestBodyCapacity) {
    CloseBody();
    if (!send_(body_, false)) return false;
    StartBody(false);
  }
  AppendUInt16(body_, entry);
  const std::size_t start = body_.size();
  body_.resize(start + p::kSaveFieldHeader, 0);
  std::memcpy(body_.data() + start, field.data(), field.size());
  body_[start + p::kSaveFieldNameWidth] = kind ? 1 : 0;
  PutUInt16(body_.data() + start + p::kSaveFieldNameWidth + 1, p::kSaveValueText);
  PutUInt16(body_.data() + start + p::kSaveFieldNameWidth + 3, value.size());
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
