#include "stats/stat_worker.h"

#include <map>
#include <string>
#include <utility>

#include "platform.h"
#include "stats/org_subtree.h"
#include "xtree.h"

namespace hrz {
namespace {

constexpr DWORD kWorkerPollMs = 100;
// Users per row query: keeps each statement well inside one request field.
constexpr std::size_t kUsersPerQuery = 3000;

void NotePeak(StatWorkerState& state, int alive) {
  int peak = state.peak.load();
  while (alive > peak && !state.peak.compare_exchange_weak(peak, alive)) {
  }
}

}  // namespace

StatWorkerState& StatWorkers() {
  static StatWorkerState state;
  return state;
}

bool ReadStatRows(tagXCliDB* db, const XPrdFindGrid::Query& query, int nid, const char* kind,
                  const std::atomic<int>& stop, StatRows* rows) {
  std::vector<int> users;
  if (!ReadSubtreeUsers(db, nid, kind, stop, &users)) return false;
  // Each user's row is read once, however many places it hangs in.
  std::map<int, XPrdFindGrid::FoundRow> found;
  for (int user : users) found.emplace(user, XPrdFindGrid::FoundRow{});
  auto next = found.begin();
  while (next != found.end()) {
    if (stop.load() != 0) return false;
    std::string list;
    for (std::size_t n = 0; n < kUsersPerQuery && next != found.end(); ++n, ++next) {
      if (!list.empty()) list += ',';
      list += std::to_string(next->first);
    }
    const std::string where = query.Table() + ".NID in (" + list + ")";
    StatRows chunk;
    if (!query.Read(db, query.Sql(where.c_str()), -1, &chunk)) return false;
    for (XPrdFindGrid::FoundRow& row : chunk) found[row.nid] = std::move(row);
  }
  for (int user : users) {
    const XPrdFindGrid::FoundRow& row = found[user];
    if (row.nid == user) rows->push_back(row);  // a user without a row adds nothing
  }
  return stop.load() == 0;
}

StatListing::~StatListing() {
  Stop(nullptr);
}

void StatListing::Stop(XTree* tree) {
  StatWorkerState& state = StatWorkers();
  state.stopRequest.store(1);
  if (tree != nullptr) tree->StopExpandAll();
  while (state.active.load() >= 1) Sleep(kWorkerPollMs);
  if (thread_.joinable()) thread_.join();
  // Rows a worker posted just before the stop are not shown either.
  std::lock_guard lock(mutex_);
  ++listing_;
  ready_.clear();
}

void StatListing::Start(XTree* tree, tagXCliDB* db, XPrdFindGrid::Query query, int nid,
                        const char* kind, CWnd* window, UINT message) {
  Stop(tree);
  StatWorkerState& state = StatWorkers();
  state.stopRequest.store(0);
  const WPARAM listing = ++listing_;
  // Counted before the thread runs, so a Stop right after Start waits for it.
  NotePeak(state, ++state.active);
  ++state.started;
  thread_ = std::thread(&StatListing::Run, this, db, std::move(query), nid,
                        std::string(kind != nullptr ? kind : ""), window, message, listing);
}

void StatListing::Run(tagXCliDB* db, const XPrdFindGrid::Query& query, int nid,
                      const std::string& kind, CWnd* window, UINT message, WPARAM listing) {
  StatWorkerState& state = StatWorkers();
  StatRows rows;
  if (ReadStatRows(db, query, nid, kind.c_str(), state.stopRequest, &rows)) {
    {
      std::lock_guard lock(mutex_);
      ready_ = std::move(rows);
      readyListing_ = listing;
    }
    window->PostMessage(message, listing);
  } else if (state.stopRequest.load() != 0) {
    ++state.stopped;
  }
  --state.active;
}

StatRows StatListing::Take(WPARAM listing) {
  std::lock_guard lock(mutex_);
  if (listing != listing_ || listing != readyListing_) return {};
  readyListing_ = 0;
  return std::move(ready_);
}

}  // namespace hrz
