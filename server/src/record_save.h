// Applying a whole record save: every message's field entries in one transaction, checked
// against the session's rights, codes kept unique, new records numbered and linked under
// their parent. A refusal changes nothing; refusals of rights and the rights changes made
// go to the audit log.
#pragma once

#include <vector>

#include "dispatch.h"
#include "record_save_message.h"

namespace hrzsrv {

// The reply to the last message: kRecordSaved with the record block carrying the item NID
// and link NID, or a refusal with its reason.
Reply ApplyRecordSave(Context& context, const SaveBlock& block,
                      const std::vector<SaveEntry>& entries);

// A refusal of a record save: status, and the reason as field 1.
Reply RecordSaveRefusal(std::uint8_t status, std::string_view reason);

}  // namespace hrzsrv
