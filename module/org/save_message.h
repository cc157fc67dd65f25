// The record save message (class 68, group 4): a count field, the 192-byte record block
// (first message only), one field per changed value, the terminator. A save whose entries
// do not fit one body of 8192 bytes goes out as early messages (code 2) and a last one
// (code 1); the server applies the save when the last arrives.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hrzcommon/protocol.h"

namespace hrz {

struct RecordBlock {
  std::string layout;  // the pane's layout, "UUSR New"; at most 97 bytes
  int itemNid = -1;    // -1 for a new record
  int itemMode = protocol::kRecordModeUpdate;
  int linkNid = -1;   // -1 for a new record
  int parentNid = 0;  // the department or role that receives a new record
  int linkMode = protocol::kRecordLinkUpdate;
};

// The block's 192 bytes: layout, "UUSR", item NID and mode, "UUSRBM", link NID, parent
// NID and link mode at their offsets, zero elsewhere.
std::vector<std::uint8_t> EncodeRecordBlock(const RecordBlock& block);

class RecordSaveMessages {
 public:
  // Sends one finished body (last: the final message); false fails the save.
  using Sender = std::function<bool(std::span<const std::uint8_t> body, bool last)>;

  RecordSaveMessages(const RecordBlock& block, Sender send);

  // Appends the entry of one field ("UUSR.CNAME"); kind marks "UUSR.CSRC". A body that
  // cannot take it is sent first as an early message. False when the name does not fit its
  // 24 bytes, the entry cannot fit even an empty body, or a send failed.
  bool Append(std::string_view field, std::string_view value, bool kind = false);
  // Entries appended in this save so far, in every message.
  int Appended() const { return appended_; }
  // Sends the last message; nothing is sent when no entry was appended.
  bool Finish();

 private:
  void StartBody(bool withBlock);
  void CloseBody();

  Sender send_;
  std::vector<std::uint8_t> body_;
  std::vector<std::uint8_t> block_;
  int inBody_ = 0;
  int appended_ = 0;
};

}  // namespace hrz
