#include "stats/usrstatgrd.h"

#include <string>

#include "cdc.h"
#include "cool_controls.h"
#include "entry/requests.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "resources.h"
#include "resources/hrzuser_ids.h"
#include "support/quick_search.h"
#include "support/text_patterns.h"
#include "tips.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr int kChangeIntervalMs = 600;
constexpr int kOnlineIconSize = 32;
constexpr COLORREF kVersionDiffColor = RGB(255, 0, 0);
constexpr int kVersionTextIndent = 4;

}  // namespace

CUserStatGrid::CUserStatGrid() {
  SetRowColChangeInterval(kChangeIntervalMs);
}

void CUserStatGrid::FindColumns() {
  onlineCol_ = GetColByCtrlName("ISONLN");
  versionCol_ = GetColByCtrlName("NUPCLIVR");
  codeCol_ = GetColByOrgFldName("UUSR.CCODE");
  onlineIcon_ = AfxLoadIcon(IDI_USER_ONLINE);
}

void CUserStatGrid::DoQuickSearch(const char* text, CCoolToolTip* tip) {
  const int rows = FillSearchGrid(*this, QuickUserSearchWhere(*this, text));
  GetAll(TRUE);
  if (tip != nullptr) {
    ShowRowCountTip(*tip, *this, FormatTemplate(T("search result rows"), std::to_string(rows)));
  }
}

const char* CUserStatGrid::AskOnline(int row) {
  if (codeCol_ < 1) return "F";
  const std::string code(TrimBlanks(GetItemString(row, codeCol_)));
  return OnlineStateRequest(GetDB(), code.c_str()) == OnlineState::kOnline ? "T" : "F";
}

BOOL CUserStatGrid::DrawCellText(CDC* dc, int row, int col, const RECT& rect, const char* text) {
  if (row < 1 || dc == nullptr) return FALSE;
  if (col == onlineCol_) {
    std::string state(TrimBlanks(text != nullptr ? text : ""));
    if (state.empty()) {
      state = AskOnline(row);
      SetItemText(row, col, state.c_str());
    }
    DrawOnline(dc, rect, state.c_str());
    return TRUE;
  }
  if (col == versionCol_) {
    DrawVersion(dc, rect, text);
    return TRUE;
  }
  return FALSE;
}

void CUserStatGrid::DrawOnline(CDC* dc, const RECT& rect, const char* state) const {
  if (state[0] != 'T' && state[0] != 't') return;  // offline: the cell stays blank
  const int x = rect.left + (rect.right - rect.left - kOnlineIconSize) / 2;
  const int y = rect.top + (rect.bottom - rect.top - kOnlineIconSize) / 2;
  dc->DrawIcon(x, y, onlineIcon_, kOnlineIconSize, kOnlineIconSize);
}

void CUserStatGrid::DrawVersion(CDC* dc, const RECT& rect, const char* text) const {
  long long version = 0;
  const bool same = ParseWholeNumber(TrimBlanks(text != nullptr ? text : ""), &version) &&
                    version == clientVersion_;
  RECT inside = rect;
  inside.left += kVersionTextIndent;
  if (!same) dc->SetTextColor(kVersionDiffColor);
  dc->DrawText(T(same ? "clivr same" : "clivr diff"), inside, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

}  // namespace hrz
