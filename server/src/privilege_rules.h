// Who may change which marks of a node's privilege string. A save is judged by comparing the
// stored string and grantors with the ones a client sends, position by position: which marks
// it adds (grants), which it removes or lowers (withdrawals), and which it leaves.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "write_rules.h"

namespace hrzsrv {

// A node's privilege string and grantor list as the store keeps them.
struct PrivilegeSet {
  std::string marks;                    // position n (from 1) is marks[n - 1]
  std::vector<std::uint32_t> grantors;  // one per mark: the user who granted it, 0 unknown
};

// The catalogue's codes by character position ("NFNCHR"); several codes on one position are
// joined with ",".
using CatalogueCodes = std::map<int, std::string>;

// Empty when marks have a storable form: fewer than 512 characters, each "M", "V" or "X".
std::string RefuseMarksForm(std::string_view marks);

// One mark that a save changes, for the audit log. A change from "V" to "M" is a withdrawal
// of the view right and a grant of the modify right; from "M" to "V" a withdrawal only.
struct MarkChange {
  int position = 0;  // from 1
  char before = 'X';
  char after = 'X';
  std::uint32_t formerGrantor = 0;  // who had granted the mark before, 0 unknown
  bool Withdraws() const { return before != after && before != 'X'; }
  bool Grants() const { return before != after && after != 'X' && before != 'M'; }
};

struct PrivilegeSave {
  std::string refusal;  // empty when the save is allowed
  PrivilegeSet result;  // what to store: trailing "X" removed
  std::vector<MarkChange> changes;
};

// Decides a save of sent (marks of a storable form, one grantor per mark) over stored:
// - a grant needs the administrator or a manager and a catalogue entry at its position; the
//   grantor recorded is the session's user, whatever the message names;
// - a withdrawal needs the administrator or the user recorded as the mark's grantor;
// - a mark kept (or lowered from "M" to "V") keeps its recorded grantor, and the message
//   names that one or 0 (unknown): anything else is a forged grantor list;
// - where the new string has no mark the message's grantor is not read.
PrivilegeSave DecidePrivilegeSave(const Rights& rights, const PrivilegeSet& stored,
                                  const PrivilegeSet& sent, const CatalogueCodes& catalogue);

// The code of a position for the audit log: the catalogue's, or "position N" without one.
std::string PositionName(const CatalogueCodes& catalogue, int position);

}  // namespace hrzsrv
