#include "support/org_path.h"

#include "xbomtree.h"

namespace hrz {

int NodeOfOrgPath(XBOMTree& tree, const int* path) {
  if (tree.GetNodes(-1) < 1) return -1;
  int node = 0;
  for (int slot = 1; slot < kOrgPathSlots && path[slot] >= 1; ++slot) {
    tree.Expand(node);
    int child = tree.GetFirstChildNode(node);
    while (child >= 0 && tree.GetBITM_NID(child) != path[slot]) child = tree.GetNextNode(child);
    if (child < 0) return -1;
    node = child;
  }
  return node;
}

}  // namespace hrz
