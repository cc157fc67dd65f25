// The departments and roles above a record of the organisation: every one that holds it,
// directly or through further departments and roles, all levels up.
#pragma once

#include <string>
#include <vector>

class XBOMTree;

namespace hrz {

struct OrgAncestor {
  int nid = -1;
  std::string label;  // as the organisation tree shows it: "Name (CODE)", or the code
};

// Each ancestor of nid once, nearest levels first; the record itself is left out. above is
// a hidden tree on the organisation's database that climbs it, one query per level; it is
// loaded afresh and may serve again.
std::vector<OrgAncestor> AncestorsOf(XBOMTree& above, int nid);

}  // namespace hrz
