#include "privilege_rules.h"

#include "hrzcommon/protocol.h"
#include "hrzcommon/text.h"

namespace hrzsrv {
namespace {

// A stored mark as a right: "M" or "V" in any case; anything else, and no character, is none.
char StoredMark(const PrivilegeSet& set, std::size_t index) {
  const char mark = index < set.marks.size() ? hrz::UpperAscii(set.marks[index]) : 'X';
  return mark == 'M' || mark == 'V' ? mark : 'X';
}

std::uint32_t GrantorAt(const PrivilegeSet& set, std::size_t index) {
  return index < set.grantors.size() ? set.grantors[index] : 0;
}

std::string Quoted(const CatalogueCodes& catalogue, int position) {
  return "\"" + PositionName(catalogue, position) + "\"";
}

// Why the session may not make this change of one mark; empty when it may.
std::string RefuseChange(const Rights& rights, const MarkChange& change,
                         const CatalogueCodes& catalogue) {
  const auto me = static_cast<std::uint32_t>(rights.userNid);
  // A mark whose grantor is unknown (0) matches no session's user.
  if (change.Withdraws() && !rights.admin && change.formerGrantor != me) {
    return "only its grantor or the administrator withdraws " + Quoted(catalogue, change.position);
  }
  if (change.Grants()) {
    if (!rights.admin && !rights.manager) {
      return "granting " + Quoted(catalogue, change.position) +
             " needs \"UUSR\" modify or the administrator";
    }
    if (!catalogue.contains(change.position)) {
      return "no catalogue entry owns position " + std::to_string(change.position);
    }
  }
  return {};
}

// Why the grantor the message names for a mark it keeps is forged; empty when it is the
// recorded one or 0.
std::string RefuseSentGrantor(std::uint32_t sent, std::uint32_t kept, int position) {
  if (sent == 0 || sent == kept) return {};
  return "forged grantor list: position " + std::to_string(position) + " names " +
         std::to_string(sent) + ", recorded " + std::to_string(kept);
}

}  // namespace

std::string RefuseMarksForm(std::string_view marks) {
  if (marks.size() > hrz::protocol::kMaxPrivilegeMarks) {
    return "a privilege string holds at most " + std::to_string(hrz::protocol::kMaxPrivilegeMarks) +
           " characters";
  }
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (marks[i] != 'M' && marks[i] != 'V' && marks[i] != 'X') {
      return "position " + std::to_string(i + 1) + " holds a character other than M, V or X";
    }
  }
  return {};
}

PrivilegeSave DecidePrivilegeSave(const Rights& rights, const PrivilegeSet& stored,
                                  const PrivilegeSet& sent, const CatalogueCodes& catalogue) {
  PrivilegeSave save;
  const std::size_t length = std::max(stored.marks.size(), sent.marks.size());
  save.result.marks.assign(length, 'X');
  save.result.grantors.assign(length, 0);
  for (std::size_t i = 0; i < length; ++i) {
    const int position = static_cast<int>(i) + 1;
    MarkChange change{position, StoredMark(stored, i), StoredMark(sent, i), GrantorAt(stored, i)};
    const std::uint32_t sentGrantor = GrantorAt(sent, i);
    if (change.before != change.after) {
      save.refusal = RefuseChange(rights, change, catalogue);
      if (!save.refusal.empty()) return save;
      save.changes.push_back(change);
    }
    if (change.Grants()) {
      save.result.grantors[i] = static_cast<std::uint32_t>(rights.userNid);
    } else if (change.after != 'X') {
      save.refusal = RefuseSentGrantor(sentGrantor, change.formerGrantor, position);
      save.result.grantors[i] = change.formerGrantor;
    }
    if (!save.refusal.empty()) return save;
    save.result.marks[i] = change.after;
  }
  const std::size_t kept = save.result.marks.find_last_not_of('X');
  const std::size_t size = kept == std::string::npos ? 0 : kept + 1;
  save.result.marks.resize(size);
  save.result.grantors.resize(size);
  return save;
}

std::string PositionName(const CatalogueCodes& catalogue, int position) {
  const auto entry = catalogue.find(position);
  return entry != catalogue.end() ? entry->second : "position " + std::to_string(position);
}

}  // namespace hrzsrv
