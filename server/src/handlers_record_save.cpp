// The record save: earlier messages are kept per session, the last one applies the whole
// save at once.
#include <utility>

#include "handlers.h"
#include "record_save.h"

namespace hrzsrv::handlers {
namespace {

namespace p = protocol;

// The body bytes of a message as read: count, block, entries and terminator.
std::size_t BodyBytes(const SaveMessage& message) {
  std::size_t bytes = 2 + 4 + 2;
  if (message.block) bytes += 2 + p::kRecordBlockSize;
  for (const SaveEntry& entry : message.entries)
    bytes += 2 + p::kSaveFieldHeader + entry.text.size();
  return bytes;
}

Reply RecordSaveMessage(Context& context, wire::BodyReader& in, bool last) {
  PendingSave& pending = context.session.pendingSave;
  // A save begun before another logon is not this user's to finish.
  if (pending.ownerNid != context.session.userNid) pending = PendingSave{};
  SaveMessage message;
  if (std::string error = ReadSaveMessage(in, !pending.block, &message); !error.empty()) {
    pending = PendingSave{};
    return RecordSaveRefusal(p::kBadMessage, error);
  }
  pending.bytes += BodyBytes(message);
  if (pending.bytes > p::kRecordSavePendingMax) {
    pending = PendingSave{};
    return RecordSaveRefusal(
        p::kRecordSaveTooLarge,
        "a record save holds at most " + std::to_string(p::kRecordSavePendingMax) + " bytes");
  }
  pending.ownerNid = context.session.userNid;
  if (message.block) pending.block = message.block;
  for (SaveEntry& entry : message.entries) pending.entries.push_back(std::move(entry));
  if (!last) return Reply::Status(p::kRecordChunkKept);
  const PendingSave save = std::exchange(pending, PendingSave{});
  return ApplyRecordSave(context, *save.block, save.entries);
}

}  // namespace

Reply RecordSaveEarly(Context& context, wire::BodyReader& in) {
  return RecordSaveMessage(context, in, false);
}

Reply RecordSaveLast(Context& context, wire::BodyReader& in) {
  return RecordSaveMessage(context, in, true);
}

}  // namespace hrzsrv::handlers
