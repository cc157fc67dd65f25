// The statistics window through HRZCmd: the users below a node with who is logged on, asked
// only for the rows drawn; client versions against the running client's; a session that
// ends, after Refresh; the search; and the worker stopped by a node change, Refresh, a search
// or Close, never two alive. Each test starts from a fresh sample store.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QTableView>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cool_dialog.h"
#include "entry/requests.h"
#include "resources/dialogs/usrstat_ids.h"
#include "stats/stat_worker.h"
#include "stats/usrstatgrd.h"
#include "support/module_host.h"
#include "support/proxy_server.h"
#include "support/stores.h"
#include "xbomtree.h"

namespace hrztest {
namespace {

using hrz::DialogDriver;

constexpr int kOrgNid = 2;
constexpr int kEngNid = 301;
constexpr int kSalesNid = 304;
constexpr qint64 kWaitLimitMs = 10000;

const std::vector<std::string> kOrgCodes = {"adm",   "alice", "heidi",      "bob",  "erin",
                                            "grace", "carol", "frank[del]", "ivan", "alice",
                                            "alice", "heidi", "carol"};
const std::vector<std::string> kEngCodes = {"alice", "heidi", "bob", "erin", "grace"};
const std::vector<std::string> kSalesCodes = {"carol", "frank[del]", "ivan"};

void ResetWorkerCounts() {
  hrz::StatWorkerState& state = hrz::StatWorkers();
  state.started = 0;
  state.stopped = 0;
  state.peak = 0;
}

// Processes events until no worker is alive and the rows it posted reached the grid.
void WaitForListing() {
  QElapsedTimer timer;
  timer.start();
  while (hrz::StatWorkers().active.load() > 0 && timer.elapsed() < kWaitLimitMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  QCoreApplication::processEvents();
}

XBOMTree& TreeOf(DialogDriver& d) {
  return *dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_USRSTAT_TREE));
}

hrz::CUserStatGrid& GridOf(DialogDriver& d) {
  return *dynamic_cast<hrz::CUserStatGrid*>(d.Dialog().GetDlgItem(IDC_USRSTAT_GRID));
}

// The tree node of a record, expanding departments on the way as a user would; -1 none.
int NodeOf(DialogDriver& d, int nid) {
  XBOMTree& tree = TreeOf(d);
  for (int node = 0; node < tree.GetNodes(-1); ++node) {
    char kind[17] = {};
    if (tree.GetBITM_NID(node, kind) == nid) return node;
    if (std::string(kind) == "UDEPT" && !tree.IsExpanded(node)) tree.Expand(node);
  }
  return -1;
}

// Clicks the record's node and waits for its listing.
bool List(DialogDriver& d, int nid) {
  const int node = NodeOf(d, nid);
  if (node < 0 || !d.Select(IDC_USRSTAT_TREE_PANE, node)) return false;
  WaitForListing();
  return true;
}

std::vector<std::string> Column(hrz::CUserStatGrid& grid, const char* ctrlName) {
  std::vector<std::string> texts;
  const int col = grid.GetColByCtrlName(ctrlName);
  for (int row = 1; row < grid.GetRows(); ++row) texts.push_back(grid.GetItemString(row, col));
  return texts;
}

// Draws the grid at that size as the screen would.
QImage Draw(hrz::CUserStatGrid& grid, int width, int height) {
  grid.View()->resize(width, height);
  return grid.View()->grab().toImage();
}

// Whether the drawn cell holds red text.
bool DrawnRed(const QImage& image, hrz::CUserStatGrid& grid, int row, int col) {
  QTableView* view = grid.View();
  const QRect cell = view->visualRect(view->model()->index(row - 1, col - 1))
                         .translated(view->viewport()->mapTo(view, QPoint(0, 0)));
  for (int y = cell.top(); y <= cell.bottom(); ++y) {
    for (int x = cell.left(); x <= cell.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 180 && c.green() < 90 && c.blue() < 90) return true;
    }
  }
  return false;
}

class StatsTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    ResetWorkerCounts();
  }
  void TearDown() override {
    db_.reset();
    ClientTest::TearDown();
  }

  void StartAsAdmin(const std::string& location) {
    db_ = TryLogon(location, "adm", kAdminPassword);
    ASSERT_TRUE(db_);
    ASSERT_EQ(module_.Initialise(db_.get()), 1);
  }

  // Runs "XUSERS_STAT" with action inside the window; false when the action never ran.
  bool RunStats(std::function<void(DialogDriver&)> action) {
    bool ran = false;
    module_.user().OnDialog(IDD_USRSTAT, [&](DialogDriver& d) {
      ran = true;
      action(d);
    });
    EXPECT_EQ(module_.Run("XUSERS_STAT"), 1);
    return ran;
  }

  ModuleHost module_;
  Connection db_;
};

TEST_P(StatsTest, ListsTheUsersBelowANodeAskingWhoIsOnlineForTheRowsDrawn) {
  Connection bob = LogonAs("bob", "bob-pw1");
  Connection carol = LogonAs("carol", "carol-pw1");
  StartAsAdmin(location_);
  EXPECT_TRUE(RunStats([&](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "dlg_userman.dlg_cap_userstat");
    hrz::CUserStatGrid& grid = GridOf(d);
    QTableView* view = grid.View();
    // Out of sight while the list fills, then drawn with room for two rows only.
    view->hide();
    ASSERT_TRUE(List(d, kOrgNid));
    // A user is listed once per place it hangs in; departments, roles and the third user
    // kind (dave) are not.
    EXPECT_EQ(Column(grid, "CCODE"), kOrgCodes);
    EXPECT_EQ(Column(grid, "ISONLN"), std::vector<std::string>(kOrgCodes.size(), ""));
    Draw(grid, 600,
         view->horizontalHeader()->height() + 2 * view->verticalHeader()->defaultSectionSize());
    std::vector<std::string> marks = Column(grid, "ISONLN");
    EXPECT_EQ(marks.front(), "T") << "adm runs the window";
    EXPECT_EQ(marks.back(), "") << "a row never drawn is never asked";
    Draw(grid, 600, 2000);
    EXPECT_EQ(Column(grid, "ISONLN"), (std::vector<std::string>{"T", "F", "F", "T", "F", "F", "T",
                                                                "F", "F", "F", "F", "F", "T"}));
    ASSERT_TRUE(List(d, kSalesNid));
    EXPECT_EQ(Column(grid, "CCODE"), kSalesCodes) << "a second node replaces the list";
  }));
  EXPECT_EQ(hrz::StatWorkers().peak.load(), 1);
}

TEST_P(StatsTest, ShowsWhetherEachClientVersionIsTheRunningOne) {
  // bob logs on with the running client's version; the others carry older, newer, empty and
  // malformed ones.
  WriteStore(storePath_,
             "update UUSR set NUPCLIVR = case CCODE when 'alice' then 250901 when 'grace' then "
             "270101 when 'heidi' then 'v26' else null end where CCODE in ('alice', 'grace', "
             "'heidi', 'erin')");
  Connection bob = LogonAs("bob", "bob-pw1");
  StartAsAdmin(location_);
  ASSERT_GT(XCliDB_GetClientVersion(db_.get(), 0), 0);
  EXPECT_TRUE(RunStats([&](DialogDriver& d) {
    ASSERT_TRUE(List(d, kEngNid));
    hrz::CUserStatGrid& grid = GridOf(d);
    ASSERT_EQ(Column(grid, "CCODE"), kEngCodes);
    const QImage image = Draw(grid, 800, 1000);
    const int col = grid.GetColByCtrlName("NUPCLIVR");
    const std::vector<bool> red = {true, true, false, true, true};  // only bob's is the same
    for (int row = 1; row <= 5; ++row) {
      EXPECT_EQ(DrawnRed(image, grid, row, col), red[row - 1]) << kEngCodes[row - 1];
    }
  }));
}

TEST_P(StatsTest, RefreshShowsASessionThatEndedAsOffline) {
  Connection bob = LogonAs("bob", "bob-pw1");
  StartAsAdmin(location_);
  EXPECT_TRUE(RunStats([&](DialogDriver& d) {
    ASSERT_TRUE(List(d, kEngNid));
    hrz::CUserStatGrid& grid = GridOf(d);
    Draw(grid, 600, 1000);
    EXPECT_EQ(Column(grid, "ISONLN")[2], "T");
    bob.reset();
    // Over TCP the server learns of the closed connection a moment later.
    QElapsedTimer timer;
    timer.start();
    while (hrz::OnlineStateRequest(db_.get(), "bob") != hrz::OnlineState::kOffline &&
           timer.elapsed() < kWaitLimitMs) {
      QThread::msleep(10);
    }
    EXPECT_EQ(Column(grid, "ISONLN")[2], "T") << "the grid keeps what it was told";
    ASSERT_TRUE(d.Click(IDOK));
    WaitForListing();
    ASSERT_EQ(Column(grid, "CCODE"), kEngCodes);
    Draw(grid, 600, 1000);
    EXPECT_EQ(Column(grid, "ISONLN"), (std::vector<std::string>{"F", "F", "F", "F", "F"}));
  }));
}

// Enter in the search box reaches Refresh, the default button, which searches there.
TEST_P(StatsTest, SearchListsUsersByCodeOrNameFromEnterAndFromTheButton) {
  StartAsAdmin(location_);
  EXPECT_TRUE(RunStats([&](DialogDriver& d) {
    hrz::CUserStatGrid& grid = GridOf(d);
    ASSERT_TRUE(d.SetText(IDC_USRSTAT_SEARCH_TEXT, "car"));
    ASSERT_TRUE(d.PressKey(IDC_USRSTAT_SEARCH_TEXT, VK_RETURN));
    EXPECT_EQ(Column(grid, "CCODE"), (std::vector<std::string>{"carol"}));
    ASSERT_TRUE(d.SetText(IDC_USRSTAT_SEARCH_TEXT, "bo"));
    ASSERT_TRUE(d.Click(IDC_USRSTAT_SEARCH));
    EXPECT_EQ(Column(grid, "CCODE"), (std::vector<std::string>{"bob"}));
    EXPECT_TRUE(d.IsVisible(IDC_USRSTAT_GRID_PANE));
  }));
  EXPECT_EQ(hrz::StatWorkers().started.load(), 0) << "a search starts no worker";
}

INSTANTIATE_TEST_SUITE_P(Store, StatsTest, ::testing::Values(Via::kEmbedded, Via::kTcp), ViaName);

// Behind a proxy that holds the first worker's first read until the window asks it to stop,
// so that the worker is surely running when the window acts.
class StatsWorkerStopTest : public QtTest {
 protected:
  void SetUp() override {
    ResetWorkerCounts();
    storePath_ = dir_.File("store.db");
    CopySampleStore(storePath_);
    std::string error;
    engine_ = hrzsrv::Engine::Open(storePath_, nullptr, &error);
    ASSERT_TRUE(engine_) << error;
    proxy_ = std::make_unique<ProxyServer>(*engine_, [this](const Frame& f) { return Hold(f); });
    db_ = TryLogon(proxy_->location(), "adm", kAdminPassword);
    ASSERT_TRUE(db_);
    ASSERT_EQ(module_.Initialise(db_.get()), 1);
  }

  std::optional<FakeAnswer> Hold(const Frame& f) {
    const bool query = f.cls() == 3 && f.group() == 1 && f.code() == 1;
    if (query && hold_.exchange(false)) {
      holding_ = true;
      QElapsedTimer timer;
      timer.start();
      while (hrz::StatWorkers().stopRequest.load() == 0 && timer.elapsed() < kWaitLimitMs) {
        QThread::msleep(1);
      }
      held_ = true;
    }
    return std::nullopt;
  }

  TempDir dir_;
  std::string storePath_;
  std::unique_ptr<hrzsrv::Engine> engine_;
  std::unique_ptr<ProxyServer> proxy_;
  Connection db_;
  ModuleHost module_;
  std::atomic<bool> hold_{false};
  std::atomic<bool> holding_{false};  // a read is held now
  std::atomic<bool> held_{false};     // it was let go after the stop request
};

TEST_F(StatsWorkerStopTest, NodeChangeRefreshSearchAndCloseStopTheRunningWorker) {
  enum class Act { kOtherNode, kRefresh, kSearch, kClose };
  struct Case {
    const char* name;
    Act act;
    std::vector<std::string> listed;  // what the grid shows at the end
  };
  const Case cases[] = {
      {"another node", Act::kOtherNode, kSalesCodes},
      {"Refresh", Act::kRefresh, kEngCodes},
      {"Search", Act::kSearch, {"carol"}},
      {"Close", Act::kClose, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetWorkerCounts();
    holding_ = false;
    held_ = false;
    std::vector<std::string> listed;
    bool ended = false;
    module_.user().OnDialog(IDD_USRSTAT, [&](DialogDriver& d) {
      const int eng = NodeOf(d, kEngNid);
      const int sales = NodeOf(d, kSalesNid);
      ASSERT_GE(eng, 0);
      ASSERT_GE(sales, 0);
      hold_ = true;
      ASSERT_TRUE(d.Select(IDC_USRSTAT_TREE_PANE, eng));
      QElapsedTimer timer;
      timer.start();
      while (!holding_.load() && timer.elapsed() < kWaitLimitMs) QThread::msleep(1);
      ASSERT_TRUE(holding_.load()) << "the worker reads";
      EXPECT_EQ(hrz::StatWorkers().active.load(), 1);
      switch (c.act) {
        case Act::kOtherNode:
          ASSERT_TRUE(d.Select(IDC_USRSTAT_TREE_PANE, sales));
          break;
        case Act::kRefresh:
          ASSERT_TRUE(d.Click(IDOK));
          break;
        case Act::kSearch:
          ASSERT_TRUE(d.SetText(IDC_USRSTAT_SEARCH_TEXT, "car"));
          ASSERT_TRUE(d.Click(IDC_USRSTAT_SEARCH));
          break;
        case Act::kClose:
          ASSERT_TRUE(d.Click(IDCANCEL));
          ended = !d.Dialog().IsRunning();
          EXPECT_EQ(hrz::StatWorkers().active.load(), 0) << "Close returns after the worker";
          return;
      }
      EXPECT_LE(hrz::StatWorkers().active.load(), 1);
      WaitForListing();
      listed = Column(GridOf(d), "CCODE");
    });
    EXPECT_EQ(module_.Run("XUSERS_STAT"), 1);
    EXPECT_TRUE(held_.load()) << "the worker's read was held";
    EXPECT_EQ(hrz::StatWorkers().stopped.load(), 1) << "the first worker ended on the request";
    const bool restarts = c.act == Act::kOtherNode || c.act == Act::kRefresh;
    EXPECT_EQ(hrz::StatWorkers().started.load(), restarts ? 2 : 1);
    EXPECT_EQ(hrz::StatWorkers().peak.load(), 1) << "never two workers alive";
    EXPECT_EQ(hrz::StatWorkers().active.load(), 0);
    EXPECT_EQ(listed, c.listed);
    if (c.act == Act::kClose) {
      EXPECT_TRUE(ended);
    }
  }
}

}  // namespace
}  // namespace hrztest
