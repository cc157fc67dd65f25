#include "xbomtree.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <unordered_map>

#include "hrzcommon/text.h"
#include "xclidb.h"
#include "xtree_model.h"

using hrz::ui::XTreeNode;

namespace {

// Parents per level query: keeps each statement well inside one request field.
constexpr size_t kParentsPerQuery = 3000;

}  // namespace

// A record as its nodes show it.
struct XBOMTree::Record {
  int nid = -1;
  std::string kind;
  std::string code;
  std::string name;
};

// One child read from the store: which parent it belongs to, through which link, and the
// record it shows, shared by every row that shows it.
struct XBOMTree::Row {
  int parentNid = 0;
  int linkNid = -1;
  const Record* record = nullptr;
  bool hasChildren = true;
};

// Rows with the records they show; a deque keeps the records where the rows point.
struct XBOMTree::Rows {
  std::deque<Record> records;
  std::vector<Row> rows;
};

const char* XBOMViewCache::GetViewFldByNo(tagXCliDB*, const char* bomTable, const char* itemTable,
                                          int) {
  if (bomTable != nullptr && itemTable != nullptr && hrz::EqualsNoCase(bomTable, "UUSRBM") &&
      hrz::EqualsNoCase(itemTable, "UUSR")) {
    return "CVWA";
  }
  return "";
}

// Every record's children, read in one pass over each table.
struct XBOMTree::WholeOrg {
  std::deque<Record> records;
  std::unordered_map<int, std::vector<Row>> children;
};

XBOMTree::XBOMTree() {
  SetAutoFreeNodeData(TRUE);
}

// The columns every load reads, for records joined to their links: link NID, the parent
// it was asked for, record NID, kind, code, name, and whether the record has children of
// its own in the tree's direction (under the expand filter when the leaf check is on).
std::string XBOMTree::SelectRows(const char* near, const char* far) const {
  const std::string& t = table_;
  std::string link = t + "BM";
  std::string leafFilter = checkLeafWithFilter_ && !filter_.empty() ? " and (" + filter_ + ")" : "";
  // Below a node hang the links whose near end is its record; the far end is the child.
  const char* childNear = type_ == 1 ? "NCID" : "NPID";
  const char* childFar = type_ == 1 ? "NPID" : "NCID";
  // Without a filter the link index alone answers whether there are children.
  std::string children = leafFilter.empty()
                             ? "exists(select 1 from " + link + " K where K." + childNear + " = " +
                                   link + "." + far + ")"
                             : "exists(select 1 from " + link + " K join " + t + " on " + t +
                                   ".NID = K." + childFar + " where K." + childNear + " = " + link +
                                   "." + far + leafFilter + ")";
  return "select " + link + ".NID, " + link + "." + near + ", " + t + ".NID, " + t + ".CSRC, " + t +
         ".CCODE, " + t + ".CNAME, " + children + " from " + link + " join " + t + " on " + t +
         ".NID = " + link + "." + far;
}

bool XBOMTree::ReadRows(const std::string& sql, Rows* rows) {
  XCliGenRS rs(db_);
  ++queries_;
  if (!rs.Open(1, sql.c_str())) return false;
  char text[256];
  for (; !rs.IsEOF(); rs.MoveNext()) {
    Row row;
    Record& record = rows->records.emplace_back();
    int hasChildren = 1;
    rs.GetFieldValue(0, XCLI_TYPE_INT32, &row.linkNid, 4);
    rs.GetFieldValue(1, XCLI_TYPE_INT32, &row.parentNid, 4);
    rs.GetFieldValue(2, XCLI_TYPE_INT32, &record.nid, 4);
    if (rs.GetFieldValue(3, XCLI_TYPE_TEXT, text, sizeof text)) record.kind = text;
    if (rs.GetFieldValue(4, XCLI_TYPE_TEXT, text, sizeof text)) record.code = text;
    if (rs.GetFieldValue(5, XCLI_TYPE_TEXT, text, sizeof text)) record.name = text;
    rs.GetFieldValue(6, XCLI_TYPE_INT32, &hasChildren, 4);
    row.record = &record;
    row.hasChildren = hasChildren != 0;
    rows->rows.push_back(row);
  }
  rs.Close();
  return true;
}

bool XBOMTree::ReadRoots(int nid, Rows* rows) {
  const std::string link = table_ + "BM";
  if (nid < 0) {
    // The top of the organisation: records linked below parent 0.
    return ReadRows(SelectRows("NPID", "NCID") + " where " + link + ".NPID <= 0 order by " + link +
                        ".NPID, " + link + ".NID",
                    rows);
  }
  // A root given by NID is one record, whatever its links: read it through its first link
  // (or none) and keep the link unknown, since it may hang in several places.
  std::string sql = SelectRows("NPID", "NCID");
  size_t from = sql.rfind(" from ");
  sql = sql.substr(0, from) + " from " + table_ + " left join " + link + " on " + link +
        ".NID = (select min(NID) from " + link + " where " + link + ".NCID = " + table_ +
        ".NID) where " + table_ + ".NID = " + std::to_string(nid);
  if (!ReadRows(sql, rows)) return false;
  for (Row& row : rows->rows) {
    row.linkNid = -1;
    row.hasChildren = true;  // without a link the query cannot tell; expanding will
  }
  return true;
}

bool XBOMTree::ReadChildren(const std::string& parentList, Rows* rows) {
  const std::string link = table_ + "BM";
  // Down the tree a child hangs below its parent; where used, the roles swap.
  const char* near = type_ == 1 ? "NCID" : "NPID";
  const char* far = type_ == 1 ? "NPID" : "NCID";
  std::string sql =
      SelectRows(near, far) + " where " + link + "." + near + " in (" + parentList + ")";
  if (!filter_.empty()) sql += " and (" + filter_ + ")";
  return ReadRows(sql + " order by " + link + "." + near + ", " + link + ".NID", rows);
}

// Adds the rows as children of parent (the top level when parent is the model's root);
// a record that is already an ancestor of parent becomes a leaf so a loop in the links
// cannot grow the tree forever. Returns the number added.
int XBOMTree::AddRows(XTreeNode* parent, std::vector<Row>::const_iterator first,
                      std::vector<Row>::const_iterator last) {
  std::vector<std::unique_ptr<XTreeNode>> nodes;
  nodes.reserve(last - first);
  for (auto row = first; row != last; ++row) {
    const Record& record = *row->record;
    auto node = std::make_unique<XTreeNode>();
    if (record.name.empty()) {
      node->text = record.code;
    } else {
      node->text.reserve(record.name.size() + record.code.size() + 3);
      node->text.append(record.name).append(" (").append(record.code).append(")");
    }
    // Keys must survive a reload: the link row, or the record for a root without one.
    node->key = row->linkNid > 0 ? (std::int64_t{row->linkNid} << 32)
                                 : std::int64_t{static_cast<std::uint32_t>(record.nid)};
    auto* data = static_cast<XBOMNodeData*>(std::calloc(1, sizeof(XBOMNodeData)));
    data->tag = XBOM_NODE_TAG;
    data->nid = record.nid;
    data->linkNid = row->linkNid;
    hrz::CopyBounded(data->kind, sizeof data->kind, record.kind);
    node->data = data;
    bool loop = false;
    for (XTreeNode* up = parent; up != nullptr && up->data != nullptr; up = up->parent) {
      if (static_cast<XBOMNodeData*>(up->data)->nid == record.nid) loop = true;
    }
    node->loaded = loop || !row->hasChildren;
    nodes.push_back(std::move(node));
  }
  int added = static_cast<int>(nodes.size());
  parent->loaded = true;
  Model()->AppendChildren(parent, std::move(nodes));
  return added;
}

int XBOMTree::AddRootNode(const char* table, int nid, BOOL replace) {
  if (db_ == nullptr || table == nullptr || !hrz::IsSqlFieldName(table)) return -1;
  table_ = table;
  rootNid_ = nid;
  if (replace) ClearNodes();
  Rows rows;
  if (!ReadRoots(nid, &rows) || rows.rows.empty()) return -1;
  XTreeNode* top = Model()->Root();
  size_t before = top->children.size();
  AddRows(top, rows.rows.begin(), rows.rows.end());
  return IndexOf(top->children[before].get());
}

BOOL XBOMTree::LoadChildNodes(int node) {
  XTreeNode* n = NodeAt(node);
  const XBOMNodeData* data = GetBOMNodeData(node);
  if (n == nullptr) return FALSE;
  if (data == nullptr || db_ == nullptr) return XTree::LoadChildNodes(node);
  Rows rows;
  if (!ReadChildren(std::to_string(data->nid), &rows)) return FALSE;
  AddRows(n, rows.rows.begin(), rows.rows.end());
  return TRUE;
}

XBOMTree::~XBOMTree() = default;

BOOL XBOMTree::BeginExpandAll(int node) {
  // From the top of the whole organisation, down: every record will be read anyway.
  bool top = node < 0 || (GetParentIndex(node) < 0 && GetBOMNodeData(node) != nullptr);
  if (db_ == nullptr || type_ != 0 || rootNid_ >= 0 || !top) return TRUE;
  whole_ = std::make_unique<WholeOrg>();
  if (ReadWholeOrg()) return TRUE;
  whole_.reset();
  return FALSE;
}

void XBOMTree::EndExpandAll() {
  whole_.reset();
}

bool XBOMTree::ReadWholeOrg() {
  std::unordered_map<int, const Record*> records;
  std::string sql = "select NID, CSRC, CCODE, CNAME from " + table_;
  if (!filter_.empty()) sql += " where (" + filter_ + ")";
  XCliGenRS rs(db_);
  ++queries_;
  if (!rs.Open(1, sql.c_str())) return false;
  char text[256];
  for (; !rs.IsEOF(); rs.MoveNext()) {
    Record& r = whole_->records.emplace_back();
    rs.GetFieldValue(0, XCLI_TYPE_INT32, &r.nid, 4);
    if (rs.GetFieldValue(1, XCLI_TYPE_TEXT, text, sizeof text)) r.kind = text;
    if (rs.GetFieldValue(2, XCLI_TYPE_TEXT, text, sizeof text)) r.code = text;
    if (rs.GetFieldValue(3, XCLI_TYPE_TEXT, text, sizeof text)) r.name = text;
    records[r.nid] = &r;
  }
  rs.Close();
  sql = "select NID, NPID, NCID from " + table_ + "BM where NPID > 0 order by NID";
  XCliGenRS links(db_);
  ++queries_;
  if (!links.Open(1, sql.c_str())) return false;
  for (; !links.IsEOF(); links.MoveNext()) {
    Row row;
    int child = -1;
    links.GetFieldValue(0, XCLI_TYPE_INT32, &row.linkNid, 4);
    links.GetFieldValue(1, XCLI_TYPE_INT32, &row.parentNid, 4);
    links.GetFieldValue(2, XCLI_TYPE_INT32, &child, 4);
    auto found = records.find(child);
    if (found == records.end()) continue;  // filtered out, or a link to nothing
    row.record = found->second;
    whole_->children[row.parentNid].push_back(row);
  }
  for (auto& [parent, rows] : whole_->children) {
    for (Row& row : rows) row.hasChildren = whole_->children.count(row.record->nid) != 0;
  }
  return true;
}

BOOL XBOMTree::LoadLevel(const std::vector<XTreeNode*>& level) {
  if (db_ == nullptr) return XTree::LoadLevel(level);
  if (whole_ != nullptr) {
    for (XTreeNode* n : level) {
      if (n->loaded || n->data == nullptr) continue;
      auto found = whole_->children.find(static_cast<XBOMNodeData*>(n->data)->nid);
      if (found == whole_->children.end()) {
        n->loaded = true;
      } else {
        AddRows(n, found->second.begin(), found->second.end());
      }
    }
    return TRUE;
  }
  // Every node of the level whose children are not loaded yet, by record NID.
  std::map<int, std::vector<XTreeNode*>> waiting;
  for (XTreeNode* n : level) {
    if (!n->loaded && n->data != nullptr) {
      waiting[static_cast<XBOMNodeData*>(n->data)->nid].push_back(n);
    }
  }
  Rows read;
  std::string list;
  size_t inList = 0;
  for (auto it = waiting.begin(); it != waiting.end(); ++it) {
    if (!list.empty()) list += ',';
    list += std::to_string(it->first);
    if (++inList == kParentsPerQuery || std::next(it) == waiting.end()) {
      if (!ReadChildren(list, &read)) return FALSE;
      list.clear();
      inList = 0;
    }
  }
  // The rows arrive ordered by parent: each query orders them so, and the chunks go in
  // ascending parent order.
  for (auto& [parentNid, nodes] : waiting) {
    const auto nid = parentNid;  // clang 14 cannot capture a structured binding
    const std::vector<Row>& rows = read.rows;
    auto first = std::partition_point(rows.begin(), rows.end(),
                                      [nid](const Row& r) { return r.parentNid < nid; });
    auto last =
        std::partition_point(first, rows.end(), [nid](const Row& r) { return r.parentNid == nid; });
    for (XTreeNode* n : nodes) AddRows(n, first, last);
  }
  return TRUE;
}

BOOL XBOMTree::Refresh(int node) {
  if (node >= 0) {
    if (!DeleteNode(node, TRUE, FALSE)) return FALSE;
    return ExpandChildNodes(node) || GetChildNodesCount(node) == 0;
  }
  int focus = GetFocusNode();
  XNodeHandle handle = focus >= 0 ? GetNodeHandle(focus) : 0;
  if (AddRootNode(table_.c_str(), rootNid_, TRUE) < 0) return FALSE;
  Expand(0);
  // Follow the old focus down as far as its path still exists.
  int found = handle != 0 ? ExpandToNode(handle) : -1;
  SetFocusNode(found >= 0 ? found : 0, FALSE, TRUE);
  return TRUE;
}

const XBOMNodeData* XBOMTree::GetBOMNodeData(int node) const {
  auto* data = static_cast<const XBOMNodeData*>(GetNodeData(node));
  return data != nullptr && data->tag == XBOM_NODE_TAG ? data : nullptr;
}

int XBOMTree::FindChildByNID(int node, int nid) const {
  for (int child = GetFirstChildNode(node); child >= 0; child = GetNextNode(child)) {
    if (GetBITM_NID(child) == nid) return child;
  }
  return -1;
}

int XBOMTree::ExpandAlongPath(const int* nids, int count, bool* whole) {
  if (whole != nullptr) *whole = false;
  if (GetNodes(-1) < 1) return -1;
  int node = 0;
  for (int slot = 1; slot < count && nids[slot] >= 1; ++slot) {
    Expand(node);
    const int child = FindChildByNID(node, nids[slot]);
    if (child < 0) return node;
    node = child;
  }
  if (whole != nullptr) *whole = true;
  return node;
}

int XBOMTree::PathToNode(int node, int* nids, int capacity) const {
  std::vector<int> path;
  for (int n = node; n >= 0; n = GetParentIndex(n)) path.insert(path.begin(), GetBITM_NID(n));
  const int count = std::min(static_cast<int>(path.size()), capacity);
  std::copy_n(path.begin(), count, nids);
  return count;
}

int XBOMTree::GetBITM_NID(int node, char* kind) const {
  const XBOMNodeData* data = GetBOMNodeData(node);
  if (data == nullptr) {
    if (kind != nullptr) kind[0] = '\0';
    return -1;
  }
  if (kind != nullptr) hrz::CopyBounded(kind, sizeof data->kind, data->kind);
  return data->nid;
}

int XBOMTree::GetBBOM_NID(int node) const {
  const XBOMNodeData* data = GetBOMNodeData(node);
  return data != nullptr ? data->linkNid : -1;
}

BOOL XBOMTree::GetTextByOrgFld(int node, const char* field, char* buffer, int capacity) const {
  const XBOMNodeData* data = GetBOMNodeData(node);
  if (data == nullptr || field == nullptr || db_ == nullptr || !hrz::IsSqlFieldName(field))
    return FALSE;
  std::string_view f(field);
  size_t dot = f.find('.');
  std::string table(dot == std::string_view::npos ? std::string_view(table_) : f.substr(0, dot));
  std::string column(dot == std::string_view::npos ? f : f.substr(dot + 1));
  int key;
  if (hrz::EqualsNoCase(table, table_)) {
    key = data->nid;
  } else if (hrz::EqualsNoCase(table, table_ + "BM")) {
    key = data->linkNid;
  } else {
    return FALSE;
  }
  std::string sql = "select " + column + " from " + table + " where NID = " + std::to_string(key);
  XCliGenRS rs(db_);
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF()) return FALSE;
  return rs.GetFieldValue(0, XCLI_TYPE_TEXT, buffer, capacity);
}
