// The floors of reads: statements stepped straight through SQLite, and the organisation
// loaded into a tree the plain way.
#pragma once

#include <string>
#include <vector>

struct sqlite3;

namespace hrzbench {

// Rows read; -1 when the statement does not prepare. bindNid, when 0 or more, is bound to
// the statement's first parameter.
long long PlainRead(sqlite3* db, const char* sql, int bindNid = -1);

// The nodes of a tree as a lazy item model serves them: each knows its parent, its row
// and its text, and lists its children.
struct PlainTree {
  struct Node {
    int parent = -1;
    int row = 0;
    std::string text;
    std::vector<int> children;
  };
  std::vector<Node> nodes;
};

// Both organisation tables scanned in one read transaction, joined in memory, and a node
// filled for every place a record hangs, from the top down. Nodes filled; -1 on failure.
long long PlainLoadOrganisation(sqlite3* db, PlainTree* tree);

// A record and everything below it read a level at a time in one read transaction (the
// level's links through the parent index, then the records not read yet, joined in memory)
// and a node filled for every place, from the top down: the plain reading of one subtree,
// whose work grows with the subtree. Nodes filled; -1 on failure.
long long PlainLoadSubtree(sqlite3* db, int nid, PlainTree* tree);

// Resident memory: ResetPeak returns freed heap to the system and starts a new peak;
// PeakSince gives the peak's growth over the resident size at that reset, in bytes.
long long ResetPeak();
long long PeakSince(long long base);

}  // namespace hrzbench
