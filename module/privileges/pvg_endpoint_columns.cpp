#include "privileges/pvg_endpoint_columns.h"

#include "endpoint/decrypt_flow_editor.h"
#include "endpoint/waifacfg_dlg.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "org/org_rights.h"
#include "org/usertree.h"
#include "privileges/pvg_prompts.h"
#include "privileges/usrfngrd.h"
#include "support/record_text.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

constexpr int kFlowWidth = 1200;
constexpr int kLimitsWidth = 550;
constexpr int kFlowCapacity = 4096;  // a list of 1023 characters, each up to 4 bytes

std::string LimitText(int value, std::string_view unlimited) {
  return value < 1 ? std::string(unlimited) : std::to_string(value);
}

std::string DialogLimitText(std::string_view cell, std::string_view unlimited) {
  const std::string_view text = TrimBlanks(cell);
  return text == TrimBlanks(unlimited) ? "0" : std::string(text);
}

}  // namespace

std::string OutgoingLimitsCell(int count, int time, std::string_view unlimited) {
  return LimitText(count, unlimited) + ", " + LimitText(time, unlimited);
}

OutgoingLimitTexts SplitOutgoingLimitsCell(std::string_view cell, std::string_view unlimited) {
  const std::size_t comma = cell.find(',');
  if (comma == std::string_view::npos) return {};
  return {DialogLimitText(cell.substr(0, comma), unlimited),
          DialogLimitText(cell.substr(comma + 1), unlimited)};
}

void PvgEndpointColumns::Add(PvgEditorMode mode) {
  flowCol_ = -1;
  limitsCol_ = -1;
  const char* header = nullptr;
  int* col = nullptr;
  if (mode == PvgEditorMode::kFlowUsers) {
    header = T("dec flw apps");
    col = &flowCol_;
  } else if (mode == PvgEditorMode::kOutgoingFiles) {
    header = T("waifa cnt tm");
    col = &limitsCol_;
  } else {
    return;
  }
  *col = grid_.GetCols();
  grid_.SetCols(*col + 1);
  grid_.SetItemText(0, *col, header);
  Reset(*col, 0);
}

bool PvgEndpointColumns::IsCodeRow(int row, std::string_view code) const {
  const int codeCol = grid_.GetColByCtrlName("CCODE");
  return row >= 1 && row < grid_.GetRows() && codeCol >= 1 &&
         EqualsNoCase(TrimBlanks(grid_.GetItemString(row, codeCol)), code);
}

bool PvgEndpointColumns::IsFlowRow(int row) const {
  return IsCodeRow(row, "KQDECRPT") || IsCodeRow(row, "KQCHECK");
}

void PvgEndpointColumns::Reset(int col, int width) {
  for (int row = 1; row < grid_.GetRows(); ++row) {
    if (!grid_.GetItemString(row, col).empty()) grid_.SetItemText(row, col, "");
  }
  grid_.SetColumnWidth(col, width);
}

void PvgEndpointColumns::Load(int nid) {
  if (flowCol_ >= 1) LoadFlow(nid);
  if (limitsCol_ >= 1) LoadLimits(nid);
  grid_.Refresh();
}

void PvgEndpointColumns::LoadFlow(int nid) {
  Reset(flowCol_, 0);
  if (nid < 1) return;
  tagXCliDB* db = grid_.GetDB();
  const std::string sql = "select CDECFLWAPPS from UUSR where NID = " + std::to_string(nid);
  XCliGenRS rs(db);
  char apps[kFlowCapacity] = {};
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF() ||
      !rs.GetFieldValue(0, XCLI_TYPE_TEXT, apps, sizeof apps)) {
    return;
  }
  const std::optional<std::string> kind = ReadUserText(db, "CSRC", nid);
  if (!kind || IsDeptKind(kind->c_str())) return;
  const std::string text(TrimBlanks(apps));
  for (int row = 1; row < grid_.GetRows(); ++row) {
    if (IsFlowRow(row)) grid_.SetItemText(row, flowCol_, text.c_str());
  }
  grid_.SetColumnWidth(flowCol_, kFlowWidth);
}

void PvgEndpointColumns::LoadLimits(int nid) {
  Reset(limitsCol_, 0);
  if (nid < 1) return;
  tagXCliDB* db = grid_.GetDB();
  const std::string sql = "select NWFMAXTM, NWFMAXCNT from UUSR where NID = " + std::to_string(nid);
  XCliGenRS rs(db);
  int time = 0;
  int count = 0;
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF() ||
      !rs.GetFieldValue(0, XCLI_TYPE_INT32, &time, sizeof time) ||
      !rs.GetFieldValue(1, XCLI_TYPE_INT32, &count, sizeof count)) {
    return;
  }
  const std::optional<std::string> kind = ReadUserText(db, "CSRC", nid);
  if (!kind || IsDeptKind(kind->c_str())) return;
  for (int row = 1; row < grid_.GetRows(); ++row) {
    if (!IsCodeRow(row, "KQBRWS")) continue;
    grid_.SetItemText(row, limitsCol_, OutgoingLimitsCell(count, time, T("unlimited")).c_str());
    break;
  }
  grid_.SetColumnWidth(limitsCol_, kLimitsWidth);
}

void PvgEndpointColumns::OnDoubleClick(CWnd* owner, int row, int col, int nid) {
  if (row < 1 || row >= grid_.GetRows() || nid < 1 || col < 1) return;
  const bool limits = col == limitsCol_;
  if (!limits && (col != flowCol_ || !IsFlowRow(row))) return;
  if (grid_.GetColumnWidth(col) <= 0) return;  // no user shown
  // The store lets only the organisation's managers change these settings.
  if (!MayModifyOrganisation(grid_.GetDB())) {
    ShowPvgMessage(owner, T("no pvg"));
    return;
  }
  if (limits) {
    EditLimits(owner, row, nid);
  } else {
    EditFlow(owner, nid);
  }
}

void PvgEndpointColumns::EditLimits(CWnd* owner, int row, int nid) {
  const std::string unlimited = T("unlimited");
  const OutgoingLimitTexts shown =
      SplitOutgoingLimitsCell(grid_.GetItemString(row, limitsCol_), unlimited);
  CWaiFaCfgDlg dialog(owner);
  dialog.SetUserNid(nid);
  dialog.SetCountText(shown.count);
  dialog.SetTimeText(shown.time);
  if (dialog.DoModal() != IDOK) return;
  Load(nid);  // the cell as stored
}

void PvgEndpointColumns::EditFlow(CWnd* owner, int nid) {
  if (!EditDecryptFlow(owner, nid, nullptr)) return;
  // Only the column is read again: the node's unsaved marks stay as they are.
  Load(nid);
}

}  // namespace hrz
