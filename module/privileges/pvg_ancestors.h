// The departments and roles above a record of the organisation: every one that holds it,
// directly or through further departments and roles, all levels up.
#pragma once

#include <string>
#include <vector>

struct tagXCliDB;
class CWnd;

namespace hrz {

struct OrgAncestor {
  int nid = -1;
  std::string label;  // as the organisation tree shows it: "Name (CODE)", or the code
};

// Each ancestor of nid once, nearest levels first; the record itself is left out. owner
// parents the hidden tree that climbs the organisation, one query per level.
std::vector<OrgAncestor> AncestorsOf(tagXCliDB* db, CWnd* owner, int nid);

}  // namespace hrz
