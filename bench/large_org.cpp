#include "large_org.h"

#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <vector>

#include "xclidb.h"

namespace hrzbench {
namespace {

// The store's root department and the first NID free for generated records (1 to 300 are
// the system records').
constexpr int kRootNid = 2;
constexpr int kFirstNid = 301;

class Inserter {
 public:
  Inserter(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Inserter() { sqlite3_finalize(stmt_); }
  bool Ok() const { return stmt_ != nullptr; }
  bool Record(int nid, const std::string& code, const std::string& name, const char* kind) {
    sqlite3_bind_int(stmt_, 1, nid);
    sqlite3_bind_text(stmt_, 2, code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt_, 3, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt_, 4, kind, -1, SQLITE_STATIC);
    return Step();
  }
  bool Link(int parent, int child) {
    sqlite3_bind_int(stmt_, 1, parent);
    sqlite3_bind_int(stmt_, 2, child);
    return Step();
  }

 private:
  bool Step() {
    bool done = sqlite3_step(stmt_) == SQLITE_DONE;
    sqlite3_reset(stmt_);
    return done;
  }
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

bool CreateLargeOrg(const std::string& path, const char* adminPassword, const LargeOrgSize& size,
                    LargeOrgCounts* counts, std::string* error) {
  char reason[256] = {};
  if (!XCliDB_CreateStore(path.c_str(), adminPassword, 0, reason, sizeof reason)) {
    *error = reason;
    return false;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    *error = sqlite3_errmsg(db);
    sqlite3_close(db);
    return false;
  }
  bool ok = sqlite3_exec(db, "begin", nullptr, nullptr, nullptr) == SQLITE_OK;
  {
    Inserter record(db, "insert into UUSR(NID, CCODE, CNAME, CSRC, NSTAT) values(?, ?, ?, ?, 255)");
    Inserter link(db, "insert into UUSRBM(NPID, NCID, CVWA) values(?, ?, 'T')");
    ok = ok && record.Ok() && link.Ok();
    std::mt19937 random(20261210);
    int nid = kFirstNid;
    std::vector<int> above{kRootNid};
    std::vector<int> departments;
    for (int count : size.levels) {
      std::vector<int> level;
      for (int i = 0; ok && i < count; ++i) {
        int parent = above[i % above.size()];
        ok = record.Record(nid, "D" + std::to_string(nid), "Department " + std::to_string(nid),
                           "UDEPT") &&
             link.Link(parent, nid);
        level.push_back(nid++);
        ++counts->links;
      }
      departments.insert(departments.end(), level.begin(), level.end());
      above = std::move(level);
    }
    counts->departments = static_cast<int>(departments.size());
    counts->firstUserNid = nid;
    std::uniform_int_distribution<size_t> anyDepartment(0, departments.size() - 1);
    std::uniform_int_distribution<int> places(1, 3);
    for (int u = 0; ok && u < size.users; ++u, ++nid) {
      ok = record.Record(nid, "U" + std::to_string(nid), "User " + std::to_string(nid), "UUSRI");
      int n = places(random);
      std::vector<int> chosen;
      while (ok && static_cast<int>(chosen.size()) < n) {
        int parent = departments[anyDepartment(random)];
        if (std::find(chosen.begin(), chosen.end(), parent) != chosen.end()) continue;
        chosen.push_back(parent);
        ok = link.Link(parent, nid);
        ++counts->links;
      }
      ++counts->users;
    }
  }
  ok = ok && sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) *error = sqlite3_errmsg(db);
  sqlite3_close(db);
  return ok;
}

}  // namespace hrzbench
