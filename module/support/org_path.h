// The path of a record in the organisation, as the windows that pick or open one pass it.
#pragma once

class XBOMTree;

namespace hrz {

// NIDs of an organisation path: slot 0 the root, the first slot below 1 ends it.
constexpr int kOrgPathSlots = 128;

// The node of tree (rooted at node 0) that path leads to from slot 1 down, expanding each
// level on the way and matching children by NID; -1 when the path breaks. An empty path
// leads to the root.
int NodeOfOrgPath(XBOMTree& tree, const int* path);

}  // namespace hrz
