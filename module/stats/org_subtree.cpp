#include "stats/org_subtree.h"

#include <algorithm>
#include <map>
#include <string>

#include "hrzcommon/text.h"
#include "xclidb.h"

namespace hrz {
namespace {

// Parents per level query: keeps each statement well inside one request field.
constexpr std::size_t kParentsPerQuery = 3000;

struct Node {
  int nid = -1;
  bool user = false;
  int parent = -1;  // index into the walk's nodes; -1 for the root
  std::vector<int> children;
};

bool IsListedUser(const std::string& kind) {
  return EqualsNoCase(kind, "UUSRI") || EqualsNoCase(kind, "KQUSR");
}

bool IsAboveItself(const std::vector<Node>& nodes, int index) {
  for (int up = nodes[index].parent; up >= 0; up = nodes[up].parent) {
    if (nodes[up].nid == nodes[index].nid) return true;
  }
  return false;
}

struct Child {
  int nid;
  std::string kind;
};

// Children of the records in parentList (comma separated), by parent, each in link order.
bool ReadChildren(tagXCliDB* db, const std::string& parentList,
                  std::map<int, std::vector<Child>>* children) {
  const std::string sql =
      "select UUSRBM.NPID, UUSR.NID, UUSR.CSRC from UUSRBM join UUSR on UUSR.NID = "
      "UUSRBM.NCID where UUSRBM.NPID in (" +
      parentList + ") order by UUSRBM.NPID, UUSRBM.NID";
  XCliGenRS rs(db);
  if (!rs.Open(1, sql.c_str())) return false;
  char kind[17];
  for (; !rs.IsEOF(); rs.MoveNext()) {
    int parent = -1;
    Child child{-1, ""};
    rs.GetFieldValue(0, XCLI_TYPE_INT32, &parent, 4);
    rs.GetFieldValue(1, XCLI_TYPE_INT32, &child.nid, 4);
    if (rs.GetFieldValue(2, XCLI_TYPE_TEXT, kind, sizeof kind)) child.kind = kind;
    (*children)[parent].push_back(std::move(child));
  }
  return true;
}

// Reads the children of every node of level into nodes; the next level's indices.
bool ReadLevel(tagXCliDB* db, const std::vector<int>& level, const std::atomic<int>& stop,
               std::vector<Node>* nodes, std::vector<int>* next) {
  std::vector<int> parents;
  for (int index : level) parents.push_back((*nodes)[index].nid);
  std::sort(parents.begin(), parents.end());
  parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
  std::map<int, std::vector<Child>> children;
  for (std::size_t first = 0; first < parents.size(); first += kParentsPerQuery) {
    if (stop.load() != 0) return false;
    std::string list;
    const std::size_t last = std::min(parents.size(), first + kParentsPerQuery);
    for (std::size_t i = first; i < last; ++i) {
      if (!list.empty()) list += ',';
      list += std::to_string(parents[i]);
    }
    if (!ReadChildren(db, list, &children)) return false;
  }
  for (int index : level) {
    auto found = children.find((*nodes)[index].nid);
    if (found == children.end()) continue;
    for (const Child& c : found->second) {
      const int added = static_cast<int>(nodes->size());
      nodes->push_back(Node{c.nid, IsListedUser(c.kind), index, {}});
      (*nodes)[index].children.push_back(added);
      if (!IsAboveItself(*nodes, added)) next->push_back(added);
    }
  }
  return true;
}

}  // namespace

bool ReadSubtreeUsers(tagXCliDB* db, int nid, const char* rootKind, const std::atomic<int>& stop,
                      std::vector<int>* users) {
  std::vector<Node> nodes{Node{nid, IsListedUser(rootKind != nullptr ? rootKind : ""), -1, {}}};
  std::vector<int> level{0};
  while (!level.empty()) {
    std::vector<int> next;
    if (!ReadLevel(db, level, stop, &nodes, &next)) return false;
    level = std::move(next);
  }
  // Depth first from the root: the order of an expanded tree.
  std::vector<int> pending{0};
  while (!pending.empty()) {
    const Node& node = nodes[pending.back()];
    pending.pop_back();
    if (node.user) users->push_back(node.nid);
    pending.insert(pending.end(), node.children.rbegin(), node.children.rend());
  }
  return stop.load() == 0;
}

}  // namespace hrz
