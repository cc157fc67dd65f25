#include "privileges/pvg_ancestors.h"

#include <set>

#include "xbomtree.h"

namespace hrz {
namespace {

constexpr int kWhereUsed = 1;  // a node's children are the records that hold it
constexpr int kLabelCapacity = 256;

}  // namespace

std::vector<OrgAncestor> AncestorsOf(XBOMTree& above, int nid) {
  std::vector<OrgAncestor> found;
  if (nid < 1) return found;
  above.SetBOMTreeType(kWhereUsed);
  if (above.AddRootNode("UUSR", nid, TRUE) < 0) return found;
  above.ExpandAll(0);
  std::set<int> seen{nid};
  std::vector<int> level{0};
  while (!level.empty()) {
    std::vector<int> next;
    for (int node : level) {
      for (int up = above.GetFirstChildNode(node); up >= 0; up = above.GetNextNode(up)) {
        next.push_back(up);
        const int upNid = above.GetBITM_NID(up);
        if (upNid < 1 || !seen.insert(upNid).second) continue;
        char label[kLabelCapacity] = {};
        above.GetNodeText(up, label, kLabelCapacity);
        found.push_back({upNid, label});
      }
    }
    level = std::move(next);
  }
  return found;
}

}  // namespace hrz
