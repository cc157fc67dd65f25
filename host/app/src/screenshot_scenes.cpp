#include "screenshot_scenes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <initializer_list>
#include <memory>
#include <vector>

#include "client_version.h"
#include "cool_dialog.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seldept_ids.h"
#include "resources/dialogs/usrstat_ids.h"
#include "resources/dialogs/whereuse_ids.h"
#include "xbomtree.h"
#include "xclidb.h"
#include "xgrid.h"

namespace hrzhost {
namespace {

// Sample records: alice hangs in CAD Team, below Mechanical Design, below Engineering.
constexpr int kSampleCadTeam = 303;
constexpr int kSampleAlice = 308;
constexpr std::initializer_list<int> kSampleWayToAlice = {301, 302, kSampleCadTeam};
// erin (locked today) sits in Engineering; frank (deleted) in Sales.
constexpr int kSampleErin = 312;
constexpr int kSampleFrank = 313;
constexpr std::initializer_list<int> kSampleWayToErin = {301};
constexpr std::initializer_list<int> kSampleWayToFrank = {304};

// Opens the tree down the departments of way and clicks the node of nid, as a user would.
void ClickRecord(hrz::DialogDriver& manager, std::initializer_list<int> way, int nid) {
  auto* tree = dynamic_cast<XBOMTree*>(manager.Dialog().GetDlgItem(IDC_ROLEDEPT_TREE));
  if (tree == nullptr) return;
  for (int node = 0; node < tree->GetNodes(-1); ++node) {
    const int here = tree->GetBITM_NID(node);
    if (here == nid) {
      manager.Select(IDC_ROLEDEPT_VIEW, node);
      return;
    }
    for (int step : way) {
      if (here == step && !tree->IsExpanded(node)) tree->Expand(node);
    }
  }
}

// Sample users who log on from clients of their own for the statistics picture.
struct SampleLogon {
  const char* code;
  const char* password;
};
constexpr SampleLogon kOnlineSampleUsers[] = {{"bob", "bob-pw1"}, {"carol", "carol-pw1"}};
constexpr qint64 kListingWaitMs = 5000;

// Connections logged on while a picture is taken; logged off when the scene goes.
class SampleSessions {
 public:
  ~SampleSessions() {
    for (tagXCliDB* db : open_) {
      XCliDB_Logoff(db);
      XCliDB_Close(db);
    }
  }
  void LogOn(const std::string& location, const SampleLogon& user) {
    char reason[256] = {};
    tagXCliDB* db = XCliDB_Open(location.c_str(), reason, sizeof reason);
    if (db == nullptr) return;
    open_.push_back(db);
    int status = 0;
    XCliDB_Logon(db, user.code, user.password, kClientVersion, &status, nullptr, 0);
  }

 private:
  std::vector<tagXCliDB*> open_;
};

}  // namespace

void AddStatisticsScenes(ScreenshotAutomation& automation, const std::string& location) {
  auto sessions = std::make_shared<SampleSessions>();
  automation.AddScenes(
      IDD_USRSTAT, {{"online", [location, sessions](hrz::DialogDriver& d) {
                       for (const SampleLogon& user : kOnlineSampleUsers) {
                         sessions->LogOn(location, user);
                       }
                       auto* grid = dynamic_cast<XGrid*>(d.Dialog().GetDlgItem(IDC_USRSTAT_GRID));
                       if (grid == nullptr || !d.Select(IDC_USRSTAT_TREE_PANE, 0)) return;
                       // The list is filled by a worker thread; its rows arrive as events.
                       QElapsedTimer waited;
                       waited.start();
                       while (grid->GetRows() < 2 && waited.elapsed() < kListingWaitMs) {
                         QApplication::processEvents(QEventLoop::AllEvents, 20);
                       }
                     }}});
}

void AddUserManagerScenes(ScreenshotAutomation& automation) {
  automation.AddScenes(
      IDD_ROLEDEPT,
      {{"user",
        [](hrz::DialogDriver& d) {
          ClickRecord(d, kSampleWayToAlice, kSampleAlice);
          d.Click(IDC_ROLEDEPT_WHERE_USED);  // the view of where alice is used, then back
          d.Click(IDC_ROLEDEPT_MOVE_TO);     // the department picker, cancelled
        }},
       {"unlock", [](hrz::DialogDriver& d) { ClickRecord(d, kSampleWayToErin, kSampleErin); }},
       {"restore", [](hrz::DialogDriver& d) { ClickRecord(d, kSampleWayToFrank, kSampleFrank); }},
       {"search",
        [](hrz::DialogDriver& d) {
          d.SetText(IDC_ROLEDEPT_SEARCH_TEXT, "e;ar");
          d.Click(IDC_ROLEDEPT_SEARCH);
        }},
       {"newuser", [](hrz::DialogDriver& d) {
          d.Click(IDC_ROLEDEPT_SWITCH);
          ClickRecord(d, kSampleWayToAlice, kSampleCadTeam);
          d.Click(IDC_ROLEDEPT_NEW_USER);
        }}});
  automation.AddScenes(IDD_SELDEPT, {{"seldept", [](hrz::DialogDriver& d) {
                                        auto* tree = dynamic_cast<XBOMTree*>(
                                            d.Dialog().GetDlgItem(IDC_SELDEPT_TREE));
                                        if (tree == nullptr || tree->GetNodes(-1) < 2) return;
                                        tree->Expand(1);  // Engineering's departments
                                        d.Select(IDC_SELDEPT_VIEW, 2);
                                      }}});
  automation.AddScenes(IDD_WHEREUSE, {{"whereused", [](hrz::DialogDriver& d) {
                                         auto* tree = dynamic_cast<XBOMTree*>(
                                             d.Dialog().GetDlgItem(IDC_WHEREUSE_TREE));
                                         if (tree != nullptr) tree->ExpandAll(0);
                                       }}});
}

}  // namespace hrzhost
