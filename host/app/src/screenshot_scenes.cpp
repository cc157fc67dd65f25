#include "screenshot_scenes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <initializer_list>
#include <memory>
#include <vector>

#include "client_version.h"
#include "cool_dialog.h"
#include "host_bridge.h"
#include "hrzcommon/text.h"
#include "main_window.h"
#include "messages.h"
#include "resources/dialogs/decryptapps_ids.h"
#include "resources/dialogs/deptip_ids.h"
#include "resources/dialogs/kqextapps_ids.h"
#include "resources/dialogs/lgnmac_ids.h"
#include "resources/dialogs/pwdrule_ids.h"
#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seldept_ids.h"
#include "resources/dialogs/seluser_ids.h"
#include "resources/dialogs/userinfo_ids.h"
#include "resources/dialogs/usrfunc_ids.h"
#include "resources/dialogs/usrstat_ids.h"
#include "resources/dialogs/viewusersign_ids.h"
#include "resources/dialogs/waifacfg_ids.h"
#include "resources/dialogs/whereuse_ids.h"
#include "xbomtree.h"
#include "xclidb.h"
#include "xfindgrid.h"
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
          d.ClickField(IDC_ROLEDEPT_RECORD, "BTNPWDRULE");  // alice's password rule
        }},
       {"root",
        [](hrz::DialogDriver& d) {
          d.Select(IDC_ROLEDEPT_VIEW, 0);
          d.ClickField(IDC_ROLEDEPT_RECORD, "BTNPWDRULE");  // the organisation's default rule
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
  // The rule editor opens twice: on alice's record, then on the root with its two boxes.
  automation.AddScenes(
      IDD_PWDRULE,
      {{"pwdrule", [&automation](hrz::DialogDriver&) {
          automation.AddScenes(IDD_PWDRULE, {{"pwdrule-root", [](hrz::DialogDriver&) {}}});
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
  automation.AddScenes(IDD_USERINFO, {{"dwgsign", [](hrz::DialogDriver& d) {
                                         d.Click(IDC_USERINFO_DWG_SIGN);  // cancelled at once
                                       }}});
  automation.AddScenes(IDD_WHEREUSE, {{"whereused", [](hrz::DialogDriver& d) {
                                         auto* tree = dynamic_cast<XBOMTree*>(
                                             d.Dialog().GetDlgItem(IDC_WHEREUSE_TREE));
                                         if (tree != nullptr) tree->ExpandAll(0);
                                       }}});
  // The signature viewer with alice focused: the status line names whose signatures open.
  automation.AddScenes(
      IDD_VIEWUSERSIGN,
      {{"alice", [](hrz::DialogDriver& d) {
          auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_VIEWUSERSIGN_TREE));
          for (int node = 0; tree != nullptr && node < tree->GetNodes(-1); ++node) {
            if (tree->GetBITM_NID(node) == kSampleAlice) {
              d.Select(IDC_VIEWUSERSIGN_VIEW, node);
              return;
            }
          }
        }}});
}

namespace {

// Sample records of the privilege pictures: alice holds the editor's view right herself,
// inherits the drawing right from Engineering (three levels up) and the flow check from the
// Reviewers role; bob sits in Mechanical Design, carol in Sales and the Flow Operators role.
constexpr int kSampleBob = 309;
constexpr int kSampleCarol = 310;
constexpr std::initializer_list<int> kSampleWayToBob = {301, 302};
constexpr std::initializer_list<int> kSampleWayToCarol = {304};

// Clicks the node of nid in the editor's tree, opening the departments of way.
void ClickPrivilegeRecord(hrz::DialogDriver& editor, std::initializer_list<int> way, int nid) {
  auto* tree = dynamic_cast<XBOMTree*>(editor.Dialog().GetDlgItem(IDC_USRFUNC_TREE));
  if (tree == nullptr) return;
  for (int node = 0; node < tree->GetNodes(-1); ++node) {
    const int here = tree->GetBITM_NID(node);
    if (here == nid) {
      editor.Select(IDC_USRFUNC_VIEW, node);
      return;
    }
    for (int step : way) {
      if (here == step && !tree->IsExpanded(node)) tree->Expand(node);
    }
  }
}

// Focuses the catalogue row of code; with grant, double-clicks its modify cell as a user
// granting it (the picture's mark is never saved: the scene ends by cancelling).
void FocusPrivilege(hrz::DialogDriver& editor, const char* code, bool grant) {
  auto* grid = dynamic_cast<XRecObjGrid*>(editor.Dialog().GetDlgItem(IDC_USRFUNC_GRID));
  if (grid == nullptr) return;
  const int codeCol = grid->GetColByCtrlName("CCODE");
  for (int row = 1; row < grid->GetRows(); ++row) {
    if (grid->GetItemString(row, codeCol) != code) continue;
    grid->ClickCell(row, codeCol);
    if (grant) grid->DoubleClickCell(row, grid->GetColByCtrlName("MODI"));
    return;
  }
}

constexpr int kHeadingHalfWidth = 80;

// Scrolls the editor's grid to its last column, the mode's per-user endpoint setting, on
// the row of code; with open, double-clicks the cell as a user editing it.
void ShowEndpointCell(hrz::DialogDriver& editor, const char* code, bool open) {
  auto* grid = dynamic_cast<XRecObjGrid*>(editor.Dialog().GetDlgItem(IDC_USRFUNC_GRID));
  if (grid == nullptr || grid->View() == nullptr) return;
  const int codeCol = grid->GetColByCtrlName("CCODE");
  const int col = grid->GetCols() - 1;
  for (int row = 1; row < grid->GetRows(); ++row) {
    if (grid->GetItemString(row, codeCol) != code) continue;
    grid->ClickCell(row, col);
    QApplication::processEvents();  // the column, just shown, is laid out
    // Scrolled only as far as it takes to show the column's heading, centred in it.
    QTableView* view = grid->View();
    QScrollBar* across = view->horizontalScrollBar();
    const QHeaderView* header = view->horizontalHeader();
    const auto headingEnd = [&] {
      return header->sectionViewportPosition(col - 1) + header->sectionSize(col - 1) / 2 +
             kHeadingHalfWidth;
    };
    while (across->value() < across->maximum() && headingEnd() > view->viewport()->width()) {
      across->setValue(across->value() + 1);
    }
    if (open) grid->DoubleClickCell(row, col);
    return;
  }
}

}  // namespace

void AddPrivilegeEditorScenes(ScreenshotAutomation& automation) {
  // One run per command, in the order the commands run.
  automation.AddScenes(IDD_USRFUNC, {{"alice", [](hrz::DialogDriver& d) {
                                        d.Click(IDC_USRFUNC_NEW_PVG);  // the entry dialog
                                        ClickPrivilegeRecord(d, kSampleWayToAlice, kSampleAlice);
                                        FocusPrivilege(d, "PDUNIREAD", false);
                                      }}});
  // After each mode's grant, its column of per-user endpoint settings.
  automation.AddScenes(IDD_USRFUNC, {{"carol",
                                      [](hrz::DialogDriver& d) {
                                        ClickPrivilegeRecord(d, kSampleWayToCarol, kSampleCarol);
                                        FocusPrivilege(d, "KQCHECK", true);
                                      }},
                                     {"column", [](hrz::DialogDriver& d) {
                                        ShowEndpointCell(d, "KQCHECK",
                                                         true);  // the application tree too
                                      }}});
  automation.AddScenes(IDD_USRFUNC, {{"bob",
                                      [](hrz::DialogDriver& d) {
                                        ClickPrivilegeRecord(d, kSampleWayToBob, kSampleBob);
                                        FocusPrivilege(d, "KQBRWS", true);
                                      }},
                                     {"column", [](hrz::DialogDriver& d) {
                                        ShowEndpointCell(d, "KQBRWS", true);  // the dialog too
                                      }}});
  automation.AddScenes(IDD_WAIFACFG, {{"typed", [](hrz::DialogDriver& d) {
                                         d.SetText(IDC_WAIFACFG_COUNT, "5");
                                         d.SetText(IDC_WAIFACFG_TIME, "30");
                                       }}});
  automation.AddScenes(IDD_USRFUNC, {{"alice", [](hrz::DialogDriver& d) {
                                        ClickPrivilegeRecord(d, kSampleWayToAlice, kSampleAlice);
                                        FocusPrivilege(d, "XPRFLWCHK", false);
                                      }}});
}

void AddDecryptAppsScenes(ScreenshotAutomation& automation) {
  // The sample policy's applications, every category open, three of them chosen.
  automation.AddScenes(IDD_DECRYPTAPPS,
                       {{"decryptapps", [](hrz::DialogDriver& d) {
                           auto* tree =
                               dynamic_cast<XTree*>(d.Dialog().GetDlgItem(IDC_DECRYPTAPPS_TREE));
                           if (tree != nullptr) tree->ExpandAll(-1);
                           for (const char* app : {"Drawing editor", "3D modeller", "Notes"}) {
                             d.ClickPart(IDC_DECRYPTAPPS_VIEW,
                                         d.FindItem(IDC_DECRYPTAPPS_VIEW, app), XTREE_PART_CHECK);
                           }
                         }}});
}

void ShowCommandCapture(MainWindow& window, ScreenshotAutomation& automation) {
  const HostCommand* editor = FindHostCommand("XUSRFUNC");
  const HostCommand* captured = FindHostCommand("HOSTABOUT");
  if (editor == nullptr || captured == nullptr) return;
  automation.SetName("xusrfunc-capture");
  automation.OnDialog(IDD_USRFUNC, [](hrz::DialogDriver& d) { d.Click(IDC_USRFUNC_MENU_PVG); });
  automation.ConfirmNextQuestion();  // "register the next menu command?"
  window.RunCommand(*editor);
  automation.SetName("addfnpvg-menu");
  window.RunCommand(*captured);
}

void ShowFreeTextApplications(MainWindow& window, HostBridge& bridge,
                              ScreenshotAutomation& automation) {
  const HostCommand* editor = FindHostCommand("KQFLOWUSER");
  if (editor == nullptr) return;
  automation.SetName("kqflowuser-text");
  automation.OnDialog(IDD_USRFUNC, [](hrz::DialogDriver& d) {
    ClickPrivilegeRecord(d, kSampleWayToCarol, kSampleCarol);
    ShowEndpointCell(d, "KQDECRPT", true);
  });
  automation.AddScenes(IDD_KQEXTAPPS, {{"apps", [](hrz::DialogDriver& d) {
                                          d.SetText(IDC_KQEXTAPPS_LIST, "acad.exe, notepad.exe");
                                        }}});
  bridge.SetText("kqflow", "dec ext", "true");
  window.RunCommand(*editor);
  bridge.SetText("kqflow", "dec ext", "");
}

void ShowInGerman(MainWindow& window, ScreenshotAutomation& automation) {
  const hrzcfg::MessageLanguage before = hrzcfg::SelectedMessageLanguage();
  hrzcfg::SelectMessageLanguage(hrzcfg::MessageLanguage::German);
  automation.AddScenes(
      IDD_ROLEDEPT,
      {{"user", [](hrz::DialogDriver& d) { ClickRecord(d, kSampleWayToAlice, kSampleAlice); }}});
  for (const char* name : {"XCHGPWD", "XUSRMAN"}) {
    const HostCommand* command = FindHostCommand(name);
    if (command == nullptr) continue;
    automation.SetName(hrz::LowerAscii(name) + "-de");
    window.RunCommand(*command);
  }
  hrzcfg::SelectMessageLanguage(before);
}

}  // namespace hrzhost
