// One text column of one organisation record, as the dialogs read it before they act.
#pragma once

#include <optional>
#include <string>

struct tagXCliDB;

namespace hrz {

// "select <column> from UUSR where NID = <nid>": the first 511 bytes of the value, blanks
// around it dropped; none when there is no such row or the query fails. column is placed
// into the statement as it is: callers pass only names they spell themselves.
std::optional<std::string> ReadUserText(tagXCliDB* db, const char* column, int nid);

}  // namespace hrz
