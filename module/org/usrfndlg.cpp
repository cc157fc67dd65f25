#include "org/usrfndlg.h"

#include <string>

#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "org/org_prompts.h"
#include "org/userro.h"
#include "org/usertree.h"
#include "support/quick_search.h"
#include "support/text_patterns.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr int kChangeIntervalMs = 600;
constexpr int kEveryOrganisationRecord = 4;  // users, departments and roles
constexpr std::size_t kSearchTextMaxChars = 511;

}  // namespace

CUserFindGrid::CUserFindGrid() {
  SetRowColChangeInterval(kChangeIntervalMs);
}

void CUserFindGrid::CreateIn(const RECT& rect, CWnd* parent, UINT id, tagXCliDB* db) {
  Create(0, rect, parent, id);
  SetDB(db);
  InitCtrls("User Search Result");
  SetListMode(TRUE);
  SetUserFilterType(kEveryOrganisationRecord);
}

void CUserFindGrid::DoQuickSearch(const char* text, BOOL direct, CCoolToolTip* tip) {
  std::string where;
  if (direct) {
    where = text != nullptr ? text : "";
  } else if (searchFields_ != nullptr) {
    where = QuickSearchWhere(GetDB(), text != nullptr ? text : "", searchFields_,
                             xclisql_upper(GetDB(), GetDbName()));
  } else {
    where = QuickUserSearchWhere(*this, text);
  }
  const int rows = FillSearchGrid(*this, where);
  if (tip != nullptr) {
    ShowRowCountTip(*tip, *this, FormatTemplate(T("search result rows"), std::to_string(rows)));
  }
}

bool CUserFindGrid::SearchTyped(std::string_view typed, CCoolToolTip* tip) {
  const std::string text(TrimBlanks(FirstCodePoints(typed, kSearchTextMaxChars)));
  if (text.empty()) return false;
  DoQuickSearch(text.c_str(), FALSE, tip);
  return true;
}

int CUserFindGrid::ShowRowRecord(int row) {
  char table[33] = {};
  char kind[17] = {};
  const int nid = GetRecNID(row, table, kind);
  if (nid < 1 || pane_ == nullptr) {
    if (pane_ != nullptr) {
      pane_->ClearRec(FALSE);
      pane_->Invalidate();
    }
    return 0;
  }
  const char* layout = LayoutOfKind(kind);
  if (pane_->GetShowRecNID(table) == nid && EqualsNoCase(pane_->GetCurrentObj(), layout)) {
    return 1;
  }
  if (!pane_->InitCtrls(layout, FALSE)) return 0;
  const char* const tables[] = {table};
  return pane_->ShowRec(tables, &nid, 1, 1, 0);
}

int CUserFindGrid::IsUserRow(int row) const {
  if (row < 0) row = GetFocusCell().row;
  char kind[17] = {};
  return row >= 1 && row < GetRows() && GetRecNID(row, nullptr, kind) >= 0 && IsUserKind(kind);
}

void CUserFindGrid::OnRowColChange(int oldRow, int oldCol, int newRow, int newCol) {
  XUserFindGrid::OnRowColChange(oldRow, oldCol, newRow, newCol);
  if (oldRow == newRow || pane_ == nullptr) return;
  if (pane_->SaveUserRec() < 0 && StayAfterFailedSave(GetParent())) {
    SetFocusCell(oldRow, oldCol, FALSE);
    return;
  }
  if (newRow >= GetFixedRows() && newRow < GetRows()) {
    ShowRowRecord(newRow);
  } else {
    pane_->ClearRec(TRUE);
  }
}

}  // namespace hrz
