// XBOMTree: the organisation tree, loaded from a record table ("UUSR") and its structure
// link table ("UUSRBM": link NID, parent "NPID", child "NCID"). Children are read when a
// node is expanded. ExpandAll of the whole organisation reads both tables once and joins
// them in memory; below any other node it reads a whole level of the tree per query. A
// record that hangs in two places appears as two nodes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "xtree.h"

struct tagXCliDB;

constexpr short XBOM_NODE_TAG = 54;

// The data block of every node (XTree::GetNodeData), freed by the tree.
struct XBOMNodeData {
  short tag = XBOM_NODE_TAG;
  int nid = -1;        // NID of the record in the record table
  char kind[17] = {};  // its "CSRC"
  int linkNid = -1;    // NID of the link row that places it here; -1 for a root given by NID
};

// Where the tree's structure columns are read from.
class XBOMViewCache {
 public:
  // Name of the view flag column of a link table ("CVWA" for "UUSRBM"); empty when the
  // pair of tables has none.
  static const char* GetViewFldByNo(tagXCliDB* db, const char* bomTable, const char* itemTable,
                                    int no = 0);
};

class XBOMTree : public XTree {
 public:
  XBOMTree();
  ~XBOMTree() override;

  void SetDB(tagXCliDB* db) { db_ = db; }
  tagXCliDB* GetDB() const { return db_; }

  // Adds the root: nid -1 gives every top-level record of the organisation (those linked
  // below parent 0), else the record with that NID. With replace set the tree is cleared
  // first. Returns the root's index, -1 when nothing was found or the query failed.
  int AddRootNode(const char* table, int nid, BOOL replace = TRUE);
  // Reloads node's children (-1: the whole tree, keeping the focus where it still exists).
  BOOL Refresh(int node);
  // 0: a node's children are the records linked below it; 1: where used, a node's children
  // are the records it is linked below.
  void SetBOMTreeType(int type) { type_ = type; }
  int GetBOMTreeType() const { return type_; }
  // A condition on the record table that children must meet, such as
  // "UUSR.CSRC = 'UDEPT'"; empty for none.
  void SetExpandFilter(const char* filter) { filter_ = filter != nullptr ? filter : ""; }
  // With the check on, the leaf test that gives a node its expander applies the filter too.
  void SetExpandToCheckLeafNode(BOOL check) { checkLeafWithFilter_ = check != FALSE; }

  // NID of the record at a node and, when kind is given (17 bytes), its kind; -1 none.
  int GetBITM_NID(int node, char* kind = nullptr) const;
  // NID of the link row of a node; -1 none.
  int GetBBOM_NID(int node) const;
  // The node's data block, or null when it carries none.
  const XBOMNodeData* GetBOMNodeData(int node) const;
  // Text of a column of the node's record ("UUSR.CNAME") or link ("UUSRBM.CVWA") into
  // buffer; FALSE when the node has no record or the column cannot be read.
  BOOL GetTextByOrgFld(int node, const char* field, char* buffer, int capacity) const;

  // The child of node whose record is nid; -1 when it has none (children not read are not
  // read here).
  int FindChildByNID(int node, int nid) const;
  // Follows an organisation path (slot 0 the root, the first slot below 1 ends it) from the
  // first node down, expanding on the way; the deepest node reached, -1 in an empty tree.
  // whole, when given, tells whether the path was followed to its end.
  int ExpandAlongPath(const int* nids, int count, bool* whole = nullptr);
  // NIDs from the top of the tree down to node, at most capacity of them; their number.
  int PathToNode(int node, int* nids, int capacity) const;

  // Queries run by the loads so far; what the benchmark and tests read.
  long long QueryCount() const { return queries_; }

 protected:
  BOOL LoadChildNodes(int node) override;
  BOOL LoadLevel(const std::vector<hrz::ui::XTreeNode*>& level) override;
  BOOL BeginExpandAll(int node) override;
  void EndExpandAll() override;

 private:
  struct Record;
  struct Row;
  struct Rows;
  struct WholeOrg;
  bool ReadWholeOrg();
  std::string SelectRows(const char* near, const char* far) const;
  bool ReadRows(const std::string& sql, Rows* rows);
  bool ReadChildren(const std::string& parentList, Rows* rows);
  bool ReadRoots(int nid, Rows* rows);
  int AddRows(hrz::ui::XTreeNode* parent, std::vector<Row>::const_iterator first,
              std::vector<Row>::const_iterator last);

  tagXCliDB* db_ = nullptr;
  std::string table_ = "UUSR";
  int rootNid_ = -1;
  int type_ = 0;
  std::string filter_;
  bool checkLeafWithFilter_ = false;
  long long queries_ = 0;
  std::unique_ptr<WholeOrg> whole_;  // during an ExpandAll of the whole organisation
};
