#include "screenshot_scenes.h"

#include <initializer_list>

#include "cool_dialog.h"
#include "resources/dialogs/deptip_ids.h"
#include "resources/dialogs/lgnmac_ids.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seldept_ids.h"
#include "resources/dialogs/seluser_ids.h"
#include "resources/dialogs/whereuse_ids.h"
#include "xbomtree.h"
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
// heidi, in Fixture Design below CAD Team, has an IP range and a machine of her own.
constexpr int kSampleEngineering = 301;
constexpr int kSampleHeidi = 317;
constexpr std::initializer_list<int> kSampleWayToHeidi = {301, 302, kSampleCadTeam, 316};
constexpr const char* kSampleCadWorkstation = "WS-CAD-01";
// grace sits in Engineering.
constexpr int kSampleGrace = 314;

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

}  // namespace

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
       // The department IP dialog on Engineering and the machine picker on heidi's record,
       // both cancelled; the picture is heidi's record with her lists.
       {"lists",
        [](hrz::DialogDriver& d) {
          ClickRecord(d, {}, kSampleEngineering);
          d.ClickField(IDC_ROLEDEPT_RECORD, "BTNDEPTIP");
          ClickRecord(d, kSampleWayToHeidi, kSampleHeidi);
          d.ClickField(IDC_ROLEDEPT_RECORD, "BTNLGNMAC");
        }},
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
  automation.AddScenes(IDD_DEPTIP, {{"deptip", [](hrz::DialogDriver& d) {
                                       d.SetText(IDC_DEPTIP_LIST, "192.168.10.*, 10.0.*.*");
                                     }}});
  automation.AddScenes(
      IDD_LGNMAC, {{"lgnmac", [](hrz::DialogDriver& d) {
                      auto* grid = dynamic_cast<XGrid*>(d.Dialog().GetDlgItem(IDC_LGNMAC_GRID));
                      for (int row = 1; grid != nullptr && row < grid->GetRows(); ++row) {
                        if (grid->GetItemString(row, 1) == kSampleCadWorkstation)
                          d.Select(IDC_LGNMAC_VIEW, row);
                      }
                    }}});
  automation.AddScenes(IDD_SELDEPT, {{"seldept", [](hrz::DialogDriver& d) {
                                        auto* tree = dynamic_cast<XBOMTree*>(
                                            d.Dialog().GetDlgItem(IDC_SELDEPT_TREE));
                                        if (tree == nullptr || tree->GetNodes(-1) < 2) return;
                                        tree->Expand(1);  // Engineering's departments
                                        d.Select(IDC_SELDEPT_VIEW, 2);
                                      }}});
  automation.AddScenes(IDD_SELUSER, {{"seluser",
                                      [](hrz::DialogDriver& d) {
                                        auto* tree = dynamic_cast<XBOMTree*>(
                                            d.Dialog().GetDlgItem(IDC_SELUSER_TREE));
                                        if (tree == nullptr) return;
                                        for (int node = 0; node < tree->GetNodes(-1); ++node) {
                                          const int nid = tree->GetBITM_NID(node);
                                          if (nid == kSampleEngineering) tree->Expand(node);
                                          if (nid == kSampleGrace) d.Select(IDC_SELUSER_VIEW, node);
                                        }
                                      }},
                                     {"seluser-search", [](hrz::DialogDriver& d) {
                                        d.SetText(IDC_SELUSER_SEARCH_TEXT, "er");
                                        d.Click(IDC_SELUSER_SEARCH);
                                        d.Select(IDC_SELUSER_VIEW, 4);  // erin
                                      }}});
  automation.AddScenes(IDD_WHEREUSE, {{"whereused", [](hrz::DialogDriver& d) {
                                         auto* tree = dynamic_cast<XBOMTree*>(
                                             d.Dialog().GetDlgItem(IDC_WHEREUSE_TREE));
                                         if (tree != nullptr) tree->ExpandAll(0);
                                       }}});
}

}  // namespace hrzhost
