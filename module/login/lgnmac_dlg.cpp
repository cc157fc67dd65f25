#include "login/lgnmac_dlg.h"

#include <fstream>
#include <optional>

#include "dialog_template.h"
#include "entry/module_state.h"
#include "entry/texts.h"
#include "entry/usrmancfg.h"
#include "hrzcommon/text.h"
#include "login/login_prompts.h"
#include "platform_ui.h"
#include "resources/dialogs/lgnmac_ids.h"
#include "support/pane_frame.h"
#include "support/quick_search.h"
#include "support/text_patterns.h"
#include "xclidb.h"
#include "xrecobjctrl.h"

namespace hrz {
namespace {

UnitTexts T("dlg_user_lgnmac");
SectionTexts OtherTexts;

constexpr int kRowChangeIntervalMs = 100;
constexpr int kSearchTextMaxChars = 255;
constexpr std::size_t kCodeMaxChars = 127;
constexpr std::size_t kDetailMaxChars = 511;
constexpr const char* kDefaultSearchFields = "CCODE | CIPS | CMACS | CORGCODES";
constexpr const char* kDetailFile = "hrzmsg.txt";
// The host's "SetupInfo Grid" puts the machine code in this column.
constexpr int kMachineCodeColumn = 4;

// As long as a save can send, so that nothing of a longer list is lost when appending.
constexpr int kFieldCapacity = 8064;

std::optional<std::string> FieldOf(const XShowRecObjCtrl& record, const char* field) {
  std::string text(kFieldCapacity, '\0');
  if (!record.GetTextByOrgFld(field, text.data(), kFieldCapacity)) return std::nullopt;
  return std::string(TrimBlanks(text.c_str()));
}

}  // namespace

CSelUsrLgnMacDlg::CSelUsrLgnMacDlg() : CCoolDialog(IDD_LGNMAC) {
  MapCommand(IDC_LGNMAC_SEARCH, &CSelUsrLgnMacDlg::OnSearch);
  MapCommand(IDC_LGNMAC_SHOW_INFO, &CSelUsrLgnMacDlg::OnShowInfo);
}

BOOL CSelUsrLgnMacDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap"));
  SetDlgItemText(IDOK, OtherTexts("normal_res", "btn_ok"));
  SetDlgItemText(IDCANCEL, OtherTexts("normal_res", "btn_cancel"));
  SetDlgItemText(IDC_LGNMAC_SEARCH, OtherTexts("normal_res", "btn_search"));
  SetDlgItemText(IDC_LGNMAC_SHOW_INFO, OtherTexts("normal_res", "btn_detail"));
  gridBox_.CreateOver(WS_VISIBLE, this, IDC_LGNMAC_GRID_FRAME, IDC_LGNMAC_VIEW);
  RECT inside{};
  gridBox_.GetClientRect(&inside);
  grid_.Create(0, inside, &gridBox_, IDC_LGNMAC_GRID);
  grid_.SetRowColChangeInterval(kRowChangeIntervalMs);
  grid_.SetDB(Module().db);
  grid_.InitCtrls("SetupInfo Grid");
  grid_.Detail(TRUE);
  grid_.SetListMode(TRUE);
  gridBox_.SetXCtrl(&grid_);
  grid_.ShowWindow(SW_SHOW_WINDOW);
  grid_.SetGridEventFunc(&CSelUsrLgnMacDlg::OnGridEvent, this);
  toolTip_.Create(this);
  grid_.SetRows(1, TRUE);
  grid_.DoFind("1=1", nullptr, nullptr, TRUE);
  grid_.GetAll(TRUE);
  return TRUE;
}

void CSelUsrLgnMacDlg::OnGridEvent(XGrid* grid, int event, int, int, void* dialog) {
  if (event != XGRID_EVENT_DBLCLICK) return;
  grid->SetFocus();  // the row is the pick, whatever had the focus before
  static_cast<CSelUsrLgnMacDlg*>(dialog)->PostMessage(WM_COMMAND, IDOK);
}

void CSelUsrLgnMacDlg::OnSearch() {
  const std::string text(
      TrimBlanks(FirstCodePoints(GetDlgItemText(IDC_LGNMAC_SEARCH_TEXT), kSearchTextMaxChars)));
  if (text.empty()) return;
  const char* hostFields = HostSetting("dlg_user_lgnmac", "Quick Search USETUPINFO");
  const std::string where = QuickSearchWhere(
      grid_.GetDB(), text, hostFields != nullptr ? hostFields : kDefaultSearchFields,
      xclisql_upper(grid_.GetDB(), grid_.GetDbName()));
  const int rows = FillSearchGrid(grid_, where);
  ShowRowCountTip(
      toolTip_, grid_,
      FormatTemplate(OtherTexts("normal_res", "search result rows"), std::to_string(rows)));
}

void CSelUsrLgnMacDlg::OnOK() {
  CWnd* focus = CWnd::GetFocus();
  CWnd* search = GetDlgItem(IDC_LGNMAC_SEARCH_TEXT);
  if (focus != nullptr && search != nullptr && focus->GetSafeHwnd() == search->GetSafeHwnd()) {
    OnSearch();
    return;
  }
  const int row = grid_.GetFocusCell().row;
  std::string code;
  if (row >= grid_.GetFixedRows() && row < grid_.GetRows()) {
    const std::string cell(
        FirstCodePoints(grid_.GetItemString(row, kMachineCodeColumn), kCodeMaxChars));
    code = TrimBlanks(std::string_view(cell).substr(0, cell.find(',')));
  }
  // A row without a code picks nothing either.
  if (code.empty()) {
    ShowLoginMessage(GetSafeHwnd(), T("not select"), LoginCaption::kMachines);
    return;
  }
  picked_ = code;
  EndDialog(IDOK);
}

std::string GridRowDetails(const XGrid& grid, int row) {
  std::string text;
  for (int col = grid.GetFixedCols(); col < grid.GetCols(); ++col) {
    if (grid.GetColumnWidth(col) <= 0) continue;
    if (!text.empty()) text += "\r\n";
    text += FirstCodePoints(grid.GetItemString(0, col), kDetailMaxChars);
    text += ": ";
    text += FirstCodePoints(grid.GetItemString(row, col), kDetailMaxChars);
  }
  return text;
}

void CSelUsrLgnMacDlg::OnShowInfo() {
  const int row = grid_.GetRows() == 2 ? 1 : grid_.GetFocusCell().row;
  if (row < grid_.GetFixedRows() || row >= grid_.GetRows()) return;
  const std::string text = GridRowDetails(grid_, row);
  if (text.empty()) return;
  char path[MAX_PATH] = {};
  TempPathOfFile(path, kDetailFile);
  if (path[0] == '\0') return;
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file.write(text.data(), static_cast<std::streamsize>(text.size())) || !file.flush())
      return;
  }
  ShellExecuteA(GetSafeHwnd(), "open", path, nullptr, nullptr, SW_SHOWNORMAL);
}

void CSelUsrLgnMacDlg::OnPaint(CDC& dc) {
  FramePane(dc, *this, gridBox_);
}

bool AddLoginMachine(XShowRecObjCtrl& record, HWND owner) {
  CSelUsrLgnMacDlg dialog;
  {
    ModuleResourceScope resources;
    if (dialog.DoModal() != IDOK) return false;
  }
  const std::string& code = dialog.PickedCode();
  const std::optional<std::string> field = FieldOf(record, "UUSR.CLGNMAC");
  if (!field) return false;
  if (!field->empty() && MatchWildcard("*" + code + "*", *field)) return false;
  const std::string list = field->empty() ? code : *field + ", " + code;
  if (CountCodePoints(list) > static_cast<std::size_t>(kMachineListMaxChars)) {
    ShowLoginMessage(owner,
                     FormatTemplate(T("mac list full"), std::to_string(kMachineListMaxChars)),
                     LoginCaption::kMachines);
    return false;
  }
  return record.SetTextByOrgFld("UUSR.CLGNMAC", list.c_str()) != FALSE;
}

}  // namespace hrz
