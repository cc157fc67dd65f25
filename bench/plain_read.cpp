#include "plain_read.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <unordered_map>
#include <utility>

namespace hrzbench {
namespace {

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr); }
  ~Statement() { sqlite3_finalize(stmt); }
  std::string Text(int col) const {
    const auto* text = sqlite3_column_text(stmt, col);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                         static_cast<size_t>(sqlite3_column_bytes(stmt, col)))
                           : std::string();
  }
};

// One field of /proc/self/status in bytes, 0 when missing.
long long StatusKilobytes(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long long kilobytes = 0;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      kilobytes = std::atoll(line + length + 1);
      break;
    }
  }
  std::fclose(status);
  return kilobytes * 1024;
}

struct Record {
  std::string code, name;
};

// Adds a node for record below parent (-1: a top node); its index.
int AddNode(PlainTree* tree, int parent, const Record& record) {
  PlainTree::Node node;
  node.parent = parent;
  node.text = record.name.empty() ? record.code : record.name + " (" + record.code + ")";
  const int index = static_cast<int>(tree->nodes.size());
  if (parent >= 0) {
    node.row = static_cast<int>(tree->nodes[parent].children.size());
    tree->nodes[parent].children.push_back(index);
  }
  tree->nodes.push_back(std::move(node));
  return index;
}

}  // namespace

long long PlainRead(sqlite3* db, const char* sql, int bindNid) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return -1;
  if (bindNid >= 0) sqlite3_bind_int(stmt, 1, bindNid);
  long long rows = 0;
  const int cols = sqlite3_column_count(stmt);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < cols; ++c) benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
    ++rows;
  }
  sqlite3_finalize(stmt);
  return rows;
}

long long PlainLoadOrganisation(sqlite3* db, PlainTree* tree) {
  std::unordered_map<int, Record> records;
  std::unordered_map<int, std::vector<int>> children;  // parent NID -> child NIDs
  std::vector<int> tops;
  if (sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) != SQLITE_OK) return -1;
  {
    Statement users(db, "select NID, CSRC, CCODE, CNAME from UUSR");
    while (users.stmt != nullptr && sqlite3_step(users.stmt) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(users.stmt, 1));
      records[sqlite3_column_int(users.stmt, 0)] = {users.Text(2), users.Text(3)};
    }
    Statement links(db, "select NID, NPID, NCID from UUSRBM order by NID");
    while (links.stmt != nullptr && sqlite3_step(links.stmt) == SQLITE_ROW) {
      const int parent = sqlite3_column_int(links.stmt, 1);
      const int child = sqlite3_column_int(links.stmt, 2);
      (parent > 0 ? children[parent] : tops).push_back(child);
    }
  }
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);

  tree->nodes.clear();
  std::deque<std::pair<int, int>> waiting;  // node, record NID
  auto add = [&](int parent, int nid) {
    auto found = records.find(nid);
    if (found != records.end()) waiting.emplace_back(AddNode(tree, parent, found->second), nid);
  };
  for (int nid : tops) add(-1, nid);
  while (!waiting.empty()) {
    const auto [node, nid] = waiting.front();
    waiting.pop_front();
    auto below = children.find(nid);
    if (below == children.end()) continue;
    for (int child : below->second) add(node, child);
  }
  return static_cast<long long>(tree->nodes.size());
}

long long PlainLoadSubtree(sqlite3* db, int nid, PlainTree* tree) {
  std::unordered_map<int, Record> records;
  tree->nodes.clear();
  auto list = [](const std::vector<int>& nids) {
    std::string text;
    for (int n : nids) text += (text.empty() ? "" : ",") + std::to_string(n);
    return text;
  };
  // Reads the records not read yet; false when the statement fails.
  auto readRecords = [&](const std::vector<int>& nids) {
    std::vector<int> missing;
    for (int n : nids) {
      if (records.count(n) == 0) missing.push_back(n);
    }
    if (missing.empty()) return true;
    const std::string sql =
        "select NID, CSRC, CCODE, CNAME from UUSR where NID in (" + list(missing) + ")";
    Statement read(db, sql.c_str());
    while (read.stmt != nullptr && sqlite3_step(read.stmt) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(read.stmt, 1));
      records[sqlite3_column_int(read.stmt, 0)] = {read.Text(2), read.Text(3)};
    }
    return read.stmt != nullptr;
  };
  auto add = [&](int parent, int child, std::vector<std::pair<int, int>>* next) {
    auto found = records.find(child);
    if (found != records.end()) next->emplace_back(AddNode(tree, parent, found->second), child);
  };

  if (sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) != SQLITE_OK) return -1;
  bool ok = readRecords({nid});
  std::vector<std::pair<int, int>> level;  // node, record NID
  add(-1, nid, &level);
  // A level at a time: the links below every parent of the level in one statement, then
  // the records they lead to in another, joined here.
  while (ok && !level.empty()) {
    std::vector<int> parents;
    for (const auto& entry : level) parents.push_back(entry.second);
    const std::string sql =
        "select NPID, NCID from UUSRBM where NPID in (" + list(parents) + ") order by NPID, NID";
    std::unordered_map<int, std::vector<int>> below;
    std::vector<int> children;
    Statement links(db, sql.c_str());
    ok = links.stmt != nullptr;
    while (ok && sqlite3_step(links.stmt) == SQLITE_ROW) {
      const int child = sqlite3_column_int(links.stmt, 1);
      below[sqlite3_column_int(links.stmt, 0)].push_back(child);
      children.push_back(child);
    }
    ok = ok && readRecords(children);
    std::vector<std::pair<int, int>> next;
    for (const auto& [node, parentNid] : level) {
      auto found = below.find(parentNid);
      if (found == below.end()) continue;
      for (int child : found->second) add(node, child, &next);
    }
    level.swap(next);
  }
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  return ok ? static_cast<long long>(tree->nodes.size()) : -1;
}

long long ResetPeak() {
  malloc_trim(0);
  if (FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", refs);
    std::fclose(refs);
  }
  return StatusKilobytes("VmRSS");
}

long long PeakSince(long long base) {
  return StatusKilobytes("VmHWM") - base;
}

}  // namespace hrzbench
