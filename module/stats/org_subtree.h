// The users below one record of the organisation, read straight from "UUSR" and "UUSRBM"
// without a tree widget, so that a worker thread can read them while the window works on.
#pragma once

#include <atomic>
#include <vector>

struct tagXCliDB;

namespace hrz {

// NIDs of the users ("UUSRI", "KQUSR") at and below the record nid of kind rootKind, in the
// order the organisation tree shows them fully expanded: a record, then everything below it,
// then its next sibling. A user hanging in several places is listed once per place; a record
// met again below itself is listed but not descended. Reads a level of the tree per query.
// False when a query failed or stop became non-zero (users then holds what was found).
bool ReadSubtreeUsers(tagXCliDB* db, int nid, const char* rootKind, const std::atomic<int>& stop,
                      std::vector<int>* users);

}  // namespace hrz
