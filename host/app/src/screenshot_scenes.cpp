#include "screenshot_scenes.h"

#include <initializer_list>

#include "cool_dialog.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seldept_ids.h"
#include "resources/dialogs/userinfo_ids.h"
#include "resources/dialogs/whereuse_ids.h"
#include "xbomtree.h"

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
  automation.AddScenes(IDD_USERINFO, {{"dwgsign", [](hrz::DialogDriver& d) {
                                         d.Click(IDC_USERINFO_DWG_SIGN);  // cancelled at once
                                       }}});
  automation.AddScenes(IDD_WHEREUSE, {{"whereused", [](hrz::DialogDriver& d) {
                                         auto* tree = dynamic_cast<XBOMTree*>(
                                             d.Dialog().GetDlgItem(IDC_WHEREUSE_TREE));
                                         if (tree != nullptr) tree->ExpandAll(0);
                                       }}});
}

}  // namespace hrzhost
