// The organisation's default password rule: the rule, lifetime and last-change value of the
// organisation's root record. New users receive it.
#pragma once

#include <string>

struct tagXCliDB;
class XShowRecObjCtrl;

namespace hrz {

struct PwdRuleValues {
  std::string rule;        // "CPWDRULE"
  std::string days;        // "NPWDDAYS"
  std::string lastChange;  // "DMODIPWD"
};

// Reads the root's values (each trimmed, at most 511 bytes). False when the organisation has
// no root or its row cannot be read.
bool ReadOrgDefaultPwdRule(tagXCliDB* db, PwdRuleValues* values);

// Puts the organisation's default into the fields "CPWDRULE", "NPWDDAYS" and "DMODIPWD" of a
// new record. False (fields unchanged) when the default cannot be read.
bool GiveNewUserDefaultPwdRule(tagXCliDB* db, XShowRecObjCtrl* record);

}  // namespace hrz
