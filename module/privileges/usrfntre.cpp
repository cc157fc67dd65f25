#include "privileges/usrfntre.h"

#include <algorithm>
#include <vector>

#include "org/usertree.h"
#include "privileges/usrfngrd.h"
#include "support/org_path.h"

namespace hrz {
namespace {

constexpr int kClickIntervalMs = 600;

}  // namespace

XFuncPvgTree::XFuncPvgTree() {
  SetCanEdit(FALSE);
  SetNodeClickInterval(kClickIntervalMs);
}

BOOL XFuncPvgTree::Load() {
  if (AddRootNode("UUSR", -1, TRUE) < 0) return FALSE;
  Expand(0);
  return TRUE;
}

void XFuncPvgTree::OrgPathOf(int node, bool skipUsers, int* path) const {
  std::vector<int> upward;
  for (int at = node; at >= 0; at = GetParentIndex(at)) {
    char kind[17] = {};
    const int nid = GetBITM_NID(at, kind);
    if (!skipUsers || !IsUserKind(kind)) upward.push_back(nid);
  }
  std::fill(path, path + kOrgPathSlots, 0);
  const std::size_t kept = std::min<std::size_t>(upward.size(), kOrgPathSlots);
  std::copy_n(upward.rbegin(), kept, path);
}

bool XFuncPvgTree::FocusPath(const int* path) {
  bool whole = false;
  const int node = ExpandAlongPath(path, kOrgPathSlots, &whole);
  if (!whole) return false;
  SetFocusNode(node, TRUE, TRUE);
  EnsureNodeVisible(node);
  return true;
}

int XFuncPvgTree::OnNodeClick(int node, int prevNode, int x, int y) {
  XBOMTree::OnNodeClick(node, prevNode, x, y);
  if (grid_ == nullptr) return 1;
  if (!grid_->SaveBeforeLeaving()) {
    if (prevNode >= 0) SetFocusNode(prevNode, FALSE, TRUE);
    return 1;
  }
  grid_->LoadNode(GetBITM_NID(node));
  return 1;
}

}  // namespace hrz
