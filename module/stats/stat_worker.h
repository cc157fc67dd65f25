// The worker of the statistics window. Its state is module-wide (the window is modal, so one
// is open at a time): a stop request written by the UI thread and read by the worker between
// steps, and the count of workers alive, changed only by the workers.
//
// The worker touches no widget: it reads from the connection (whose own lock serialises it
// with the UI thread's requests), keeps its rows and posts a message; the UI thread takes the
// rows and fills the grid. So the UI thread may wait for it without processing events.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "cwnd.h"
#include "xfindgrid.h"

class XTree;
struct tagXCliDB;

namespace hrz {

struct StatWorkerState {
  std::atomic<int> stopRequest{0};  // 1 asks a running worker to stop
  std::atomic<int> active{0};       // workers started and not yet ended
  // What tests and benchmarks read: workers started, those ended by a stop request, and the
  // most alive at one moment.
  std::atomic<int> started{0};
  std::atomic<int> stopped{0};
  std::atomic<int> peak{0};
};
StatWorkerState& StatWorkers();

using StatRows = std::vector<XPrdFindGrid::FoundRow>;

// The grid rows of the users at and below the record nid of kind, in the order of the
// expanded organisation tree, one per place a user hangs. Any thread; touches no widget.
// False when a query failed or stop became non-zero.
bool ReadStatRows(tagXCliDB* db, const XPrdFindGrid::Query& query, int nid, const char* kind,
                  const std::atomic<int>& stop, StatRows* rows);

// The listings of one window, one worker thread at a time. UI thread only.
class StatListing {
 public:
  StatListing() = default;
  ~StatListing();
  StatListing(const StatListing&) = delete;
  StatListing& operator=(const StatListing&) = delete;

  // Asks a running worker to stop, stops a running expansion of tree (may be null) and
  // waits, checking every 100 ms, until no worker is alive. Rows not yet taken are dropped.
  void Stop(XTree* tree);
  // Stops the running worker, then starts one for the users at and below (nid, kind). When
  // it ends unstopped it keeps its rows and posts message to window, the listing's number
  // as wParam.
  void Start(XTree* tree, tagXCliDB* db, XPrdFindGrid::Query query, int nid, const char* kind,
             CWnd* window, UINT message);
  // The rows of the listing numbered listing, once its message came; empty for a listing
  // that another has replaced.
  StatRows Take(WPARAM listing);

 private:
  void Run(tagXCliDB* db, const XPrdFindGrid::Query& query, int nid, const std::string& kind,
           CWnd* window, UINT message, WPARAM listing);

  std::thread thread_;
  std::mutex mutex_;  // guards ready_ and readyListing_, written by the worker
  StatRows ready_;
  WPARAM readyListing_ = 0;
  WPARAM listing_ = 0;  // the latest listing started; UI thread only
};

}  // namespace hrz
