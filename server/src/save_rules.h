// Which columns a record save writes, what their values must look like, and who may change
// each one: the record pane's access rules, decided again by the server for every save.
// docs/protocol.md ("Rights") carries the same table in words.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "write_rules.h"

namespace hrzsrv {

// How the text of a field entry becomes the stored value.
enum class SaveValue {
  kText,         // as sent; empty is NULL
  kCode,         // trimmed of blanks and tabs; never empty
  kKind,         // one of the record kinds
  kWholeNumber,  // 32-bit; empty is NULL
  kDateNumber,   // yyyymmdd.hhmmss; empty is NULL
  kCreator,      // the creator's code, stored as its NID
  kViewFlag,     // the link's view flag
};

// Who may change the column of an existing record. A manager never changes the
// administrator's record; on a new record every column is its creator's.
enum class SaveRight {
  kEditor,         // the record's own user, a manager, the administrator
  kOthersOnly,     // a manager or the administrator, never on the record of the one saving
  kManaged,        // a manager on another record; the administrator on any
  kAdministrator,  // the administrator alone
  kOnCreation,     // nobody: written once, when the record is created
};

struct SaveColumn {
  std::string_view table;   // "UUSR" or "UUSRBM"
  std::string_view column;  // as the store names it
  SaveValue value;
  SaveRight right;
};

// The column a save may write, matched without case; null for any other (unknown, or kept
// by the server for itself).
const SaveColumn* FindSaveColumn(std::string_view table, std::string_view column);
// Every column a save may write.
std::span<const SaveColumn> SaveColumns();

// The value to store for the text of a field entry, in out; otherwise why it cannot be
// stored. A creator stays its code (text) here: its NID is the store's to look up.
std::string ConvertSaveValue(const SaveColumn& column, std::string_view text, Cell* out);
// True when a stored and a converted value are the same (date numbers as numbers).
bool SameSavedValue(const Cell& stored, const Cell& saved);

// Empty when the session may create a record; otherwise why not.
std::string RefuseRecordCreation(const Rights& rights);
// Empty when the session may change the column of the existing record recordNid;
// otherwise why not. A column whose value stays as it was needs no right.
std::string RefuseColumnChange(const Rights& rights, const SaveColumn& column, int recordNid);

}  // namespace hrzsrv
