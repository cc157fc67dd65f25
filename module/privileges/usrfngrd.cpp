#include "privileges/usrfngrd.h"

#include <algorithm>
#include <map>

#include "cdc.h"
#include "entry/request_channel.h"
#include "entry/requests.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "org/org_rights.h"
#include "platform_ui.h"
#include "privileges/pvg_ancestors.h"
#include "privileges/pvg_marks.h"
#include "privileges/pvg_prompts.h"
#include "resources.h"
#include "resources/hrzuser_ids.h"
#include "support/text_patterns.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

constexpr int kChangeIntervalMs = 600;
constexpr std::size_t kDescriptionMaxChars = 1023;
constexpr std::size_t kCodeTokenMaxChars = 127;
constexpr int kCodeCapacity = 128;
constexpr int kIconSizeMax = 32;
constexpr RECT kHiddenTreeRect{0, 0, 100, 100};

bool OwnMark(std::string_view cell) {
  return !cell.empty() && UpperAscii(cell[0]) == 'T';
}

bool InheritedMark(std::string_view cell) {
  return cell.size() > 1 && UpperAscii(cell[1]) == 'T';
}

std::string JoinLabels(const std::vector<std::string>& labels) {
  std::string joined;
  for (const std::string& label : labels) joined += (joined.empty() ? "" : ", ") + label;
  return joined;
}

// Draws icon as large as fits, centred in the part of rect from left to right.
void DrawCentredIcon(CDC* dc, HICON icon, int left, int right, const RECT& rect) {
  const int size = std::min({kIconSizeMax, right - left, static_cast<int>(rect.bottom - rect.top)});
  if (icon == nullptr || size < 1) return;
  dc->DrawIcon(left + (right - left - size) / 2, rect.top + (rect.bottom - rect.top - size) / 2,
               icon, size, size);
}

}  // namespace

XFuncPvgGrid::XFuncPvgGrid() {
  SetRowColChangeInterval(kChangeIntervalMs);
}

BOOL XFuncPvgGrid::LoadCatalogue(CWnd* owner, const char* order) {
  owner_ = owner;
  ownIcon_ = AfxLoadIcon(IDI_OWN_PVG);
  inheritedIcon_ = AfxLoadIcon(IDI_INHERITED_PVG);
  shownNid_ = -1;
  loadedMarks_.clear();
  if (!InitCtrls("Func Pvg Grid")) return FALSE;
  SetListMode(TRUE);
  codeCol_ = GetColByCtrlName("CCODE");
  positionCol_ = GetColByCtrlName("NFNCHR");
  viewCol_ = GetColByCtrlName("VIEW");
  modifyCol_ = GetColByCtrlName("MODI");
  creatorCol_ = GetColByCtrlName("CREATOR");
  if (above_.GetDB() == nullptr) {
    above_.Create(0, kHiddenTreeRect, owner, 0);
    above_.SetDB(GetDB());
  }
  const bool read =
      DoFind("1 = 1", order, nullptr, FALSE) >= 0 && (!HasMoreRows() || GetAll(TRUE) >= 0);
  positions_.assign(GetRows(), 0);
  for (int row = 1; row < GetRows(); ++row) {
    positions_[row] = PositionOfCell(Cell(row, positionCol_));
  }
  inherited_.assign(GetRows(), Inherited{});
  Notify();
  return read ? TRUE : FALSE;
}

void XFuncPvgGrid::ShowOnlyCodes(std::string_view list) {
  if (TrimBlanks(list).empty()) return;
  std::vector<std::string_view> tokens;
  for (std::string_view token : SplitText(list, "|,;")) {
    token = TrimBlanks(token);
    if (!token.empty() && token.size() <= kCodeTokenMaxChars) tokens.push_back(token);
  }
  for (int row = 1; row < GetRows(); ++row) {
    const std::string code(TrimBlanks(Cell(row, codeCol_)));
    const bool listed = std::any_of(tokens.begin(), tokens.end(), [&](std::string_view token) {
      return EqualsNoCase(token, code);
    });
    if (!listed) SetRowHeight(row, 0);
  }
}

void XFuncPvgGrid::UseYesNoColumn(const char* header) {
  if (viewCol_ >= 1) SetColumnWidth(viewCol_, 0);
  if (modifyCol_ >= 1) SetItemText(0, modifyCol_, header);
}

std::string XFuncPvgGrid::Cell(int row, int col) const {
  return col >= 1 ? GetItemString(row, col) : std::string();
}

bool XFuncPvgGrid::HasMarkColumns() const {
  return positionCol_ >= 1 && viewCol_ >= 1 && modifyCol_ >= 1;
}

std::vector<RowMarks> XFuncPvgGrid::RowsForSave() const {
  std::vector<RowMarks> rows;
  for (int row = 1; row < GetRows(); ++row) {
    rows.push_back({Cell(row, codeCol_), positions_[row], OwnMark(Cell(row, viewCol_)),
                    OwnMark(Cell(row, modifyCol_)),
                    std::string(TrimBlanks(Cell(row, creatorCol_)))});
  }
  return rows;
}

bool XFuncPvgGrid::LoadNode(int nid) {
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  std::vector<RowCells> cells(GetRows());
  inherited_.assign(GetRows(), Inherited{});
  shownNid_ = -1;
  loadedMarks_.clear();
  if (nid >= 1) {
    tagXCliDB* db = GetDB();
    SendLockScope scope(db);
    std::string marks;
    std::vector<std::uint32_t> grantors;
    if (ReadPrivilegeSet(db, scope.lock(), nid, &marks, &grantors)) {
      shownNid_ = nid;
      loadedMarks_ = UpperAscii(marks);
      AddOwnMarks(grantors, &cells);
      AddInheritedMarks(scope.lock(), &cells);
    }
  }
  for (int row = 1; row < GetRows(); ++row) {
    SetCellText(row, viewCol_, cells[row].view);
    SetCellText(row, modifyCol_, cells[row].modify);
    SetCellText(row, creatorCol_, cells[row].grantor);
  }
  endpoint_.Load(shownNid_);
  Refresh();
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  Notify();
  return shownNid_ >= 1;
}

void XFuncPvgGrid::AddOwnMarks(const std::vector<std::uint32_t>& grantors,
                               std::vector<RowCells>* cells) {
  std::map<std::uint32_t, std::string> codes;  // grantor NID -> code, "" when unknown
  for (int row = 1; row < GetRows(); ++row) {
    const char mark = MarkAt(loadedMarks_, positions_[row]);
    if (mark == 'X') continue;
    RowCells& cell = (*cells)[row];
    (mark == 'V' ? cell.view : cell.modify) = "TN";
    const std::uint32_t grantor = grantors[positions_[row] - 1];
    auto [known, isNew] = codes.try_emplace(grantor);
    if (isNew) {
      char code[kCodeCapacity] = {};
      if (grantor != 0 && XCliGetUNOByNID(GetDB(), static_cast<int>(grantor), code)) {
        known->second = TrimBlanks(code);
      }
    }
    cell.grantor = known->second;
  }
}

void XFuncPvgGrid::AddInheritedMarks(XCliSendLock* lock, std::vector<RowCells>* cells) {
  tagXCliDB* db = GetDB();
  for (const OrgAncestor& above : AncestorsOf(above_, shownNid_)) {
    std::string marks;
    std::vector<std::uint32_t> grantors;
    if (!ReadPrivilegeSet(db, lock, above.nid, &marks, &grantors)) continue;
    for (int row = 1; row < GetRows(); ++row) {
      const char mark = MarkAt(marks, positions_[row]);
      if (mark == 'X') continue;
      (mark == 'V' ? (*cells)[row].view : (*cells)[row].modify)[1] = 'T';
      (mark == 'V' ? inherited_[row].view : inherited_[row].modify).push_back(above.label);
    }
  }
}

void XFuncPvgGrid::SetCellText(int row, int col, const std::string& text) {
  if (col >= 1 && GetItemString(row, col) != text) SetItemText(row, col, text.c_str());
}

XFuncPvgGrid::SaveOutcome XFuncPvgGrid::SaveShownNode(XCliSendLock* lock) {
  unplacedCode_.clear();
  if (shownNid_ < 1) return SaveOutcome::kUnchanged;
  if (!HasMarkColumns()) return SaveOutcome::kFailed;
  BuiltMarks built;
  if (!BuildMarks(RowsForSave(), &built)) {
    unplacedCode_ = built.unplacedCode;
    return SaveOutcome::kUnplaced;
  }
  if (!MarksDiffer(loadedMarks_, built.marks)) return SaveOutcome::kUnchanged;
  tagXCliDB* db = GetDB();
  std::map<std::string, std::uint32_t> nids;  // grantor code -> NID, 0 when none
  std::vector<std::uint32_t> grantors;
  for (const std::string& code : built.grantors) {
    auto [known, isNew] = nids.try_emplace(code, 0);
    if (isNew && !code.empty()) known->second = std::max(XCliGetUserNID(db, code.c_str()), 0);
    grantors.push_back(known->second);
  }
  if (!SavePrivilegeSet(db, lock, shownNid_, built.marks, grantors)) return SaveOutcome::kFailed;
  dwgReadLog_.NoteSave(db, shownNid_, loadedMarks_, built.marks);
  loadedMarks_ = built.marks;
  savedAny_ = true;
  return SaveOutcome::kSaved;
}

bool XFuncPvgGrid::IsShownNodeChanged() const {
  if (shownNid_ < 1 || !HasMarkColumns()) return false;
  BuiltMarks built;
  return !BuildMarks(RowsForSave(), &built) || MarksDiffer(loadedMarks_, built.marks);
}

bool XFuncPvgGrid::SaveBeforeLeaving() {
  SaveOutcome outcome;
  {
    SendLockScope scope(GetDB());
    outcome = SaveShownNode(scope.lock());
  }
  if (outcome == SaveOutcome::kSaved || outcome == SaveOutcome::kUnchanged) return true;
  if (outcome == SaveOutcome::kUnplaced) ShowSaveFailure(outcome);
  return ShowPvgMessage(owner_, T("save error continue"), MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK;
}

void XFuncPvgGrid::ShowSaveFailure(SaveOutcome outcome) {
  if (outcome == SaveOutcome::kUnplaced) {
    ShowPvgMessage(owner_, FormatTemplate(T("pvg no place"), unplacedCode_).c_str());
  } else {
    ShowPvgMessage(owner_, T("save error"));
  }
}

std::string XFuncPvgGrid::RowDescription(int row) const {
  char text[kDescriptionMaxChars + 1] = {};
  if (row < 1 || !GetTextByOrgFld(row, "UUSRFN.CDESC", text, sizeof text)) return {};
  return std::string(TrimBlanks(text));
}

std::string XFuncPvgGrid::RowInheritance(int row) const {
  if (row < 1 || row >= static_cast<int>(inherited_.size())) return {};
  const Inherited& from = inherited_[row];
  std::string text;
  if (!from.view.empty()) text = FormatTemplate(T("inherited view from"), JoinLabels(from.view));
  if (!from.modify.empty()) {
    if (!text.empty()) text += "\n";
    text += FormatTemplate(T("inherited modify from"), JoinLabels(from.modify));
  }
  return text;
}

void XFuncPvgGrid::OnDblClickCell(int row, int col) {
  if (col < 1 || (col != viewCol_ && col != modifyCol_)) {
    XPrdFindGrid::OnDblClickCell(row, col);
    endpoint_.OnDoubleClick(owner_, row, col, shownNid_);
    return;
  }
  if (row < 1 || row >= GetRows()) return;
  if (shownNid_ < 1) {
    ShowPvgMessage(owner_, T("must sel node"));
    return;
  }
  tagXCliDB* db = GetDB();
  std::string cell = Cell(row, col);
  cell.resize(2, 'N');
  if (OwnMark(cell)) {
    const std::string grantor(TrimBlanks(Cell(row, creatorCol_)));
    if (!LoggedOnAsAdmin(db) && !EqualsNoCase(grantor, LoggedOnCode(db))) {
      ShowPvgMessage(owner_, T("can not redraw pvg"));
      return;
    }
    cell[0] = 'N';
  } else {
    if (!MayModifyOrganisation(db)) {
      ShowPvgMessage(owner_, T("no pvg"));
      return;
    }
    cell[0] = 'T';
    if (creatorCol_ >= 1) SetItemText(row, creatorCol_, LoggedOnCode(db).c_str());
  }
  SetItemText(row, col, cell.c_str());
  Refresh();
  Notify();
}

void XFuncPvgGrid::OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) {
  XPrdFindGrid::OnRowColChange(oldRow, oldCol, newRow, newCol);
  Notify();
}

BOOL XFuncPvgGrid::DrawCellText(CDC* dc, int row, int col, const RECT& rect, const char* text) {
  if (row < 1 || col < 1 || (col != viewCol_ && col != modifyCol_)) return FALSE;
  const std::string_view cell = text != nullptr ? text : "";
  const int width = rect.right - rect.left;
  if (OwnMark(cell)) DrawCentredIcon(dc, ownIcon_, rect.right - width * 3 / 5, rect.right, rect);
  if (InheritedMark(cell)) {
    DrawCentredIcon(dc, inheritedIcon_, rect.left, rect.left + width * 3 / 5, rect);
  }
  return TRUE;
}

void XFuncPvgGrid::Notify() {
  if (notice_) notice_();
}

}  // namespace hrz
