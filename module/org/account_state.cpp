#include "org/account_state.h"

#include <cmath>
#include <cstdlib>

#include "cool_controls.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "resources/dialogs/roledept_ids.h"
#include "support/datenum.h"
#include "support/text_patterns.h"
#include "xclidb.h"
#include "xrecobjctrl.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");

constexpr int kDeletedState = 254;
constexpr COLORREF kWarningColor = RGB(255, 0, 0);

// "Lgn Err Try": -1 until the first lock test reads it.
int g_loginTryLimit = -1;

std::string FieldText(XShowRecObjCtrl& pane, const char* field, int capacity) {
  std::string text(static_cast<std::size_t>(capacity), '\0');
  if (!pane.GetTextByOrgFld(field, text.data(), capacity)) return {};
  return std::string(TrimBlanks(text.c_str()));
}

// A decimal number with nothing after it but blanks; 0 otherwise.
double NumberOf(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return TrimBlanks(end).empty() ? value : 0;
}

int LoginTryLimit(tagXCliDB* db) {
  if (g_loginTryLimit < 0) {
    g_loginTryLimit = 0;
    char value[256] = {};
    if (XCliGetINI(db, "system", "Lgn Err Try", value, sizeof value, 0)) {
      g_loginTryLimit = std::atoi(value);
    }
  }
  return g_loginTryLimit;
}

}  // namespace

bool IsShownUserDeleted(XShowRecObjCtrl& pane, ShownUser* who) {
  const std::string code = FieldText(pane, "UUSR.CCODE", 128);
  if (who != nullptr) {
    who->nid = pane.GetShowRecNID("UUSR");
    who->code = code;
    who->name = FieldText(pane, "UUSR.CNAME", 128);
  }
  if (MatchWildcard("*[del]*", code)) return true;
  const std::string shown = FieldText(pane, "UUSR.NSTAT", 256);
  char stored[256] = {};
  long long state = 0;
  return XCliGetFldOrgVal(pane.GetDB(), "UUSR.NSTAT", shown.c_str(), 1, stored, 0) &&
         ParseWholeNumber(stored, &state) && state == kDeletedState;
}

bool IsShownUserLocked(XShowRecObjCtrl& pane) {
  long long attempts = 0;
  if (!ParseWholeNumber(FieldText(pane, "UUSR.NTRYLGN", 64), &attempts)) attempts = 0;
  const double last = NumberOf(FieldText(pane, "UUSR.DTRYLGNTM", 64));
  if (attempts <= 0 || last <= 0) return false;
  const double now = XCliDB_GetServerTimeDouble(pane.GetDB());
  if (DayOfDateNumber(last) != DayOfDateNumber(now)) return false;
  const int limit = LoginTryLimit(pane.GetDB());
  return limit > 0 && attempts >= limit;
}

void SetDeleteButtonText(XShowRecObjCtrl& pane, CWnd* window) {
  if (window == nullptr) return;
  auto* button = dynamic_cast<CCoolButton*>(window->GetDlgItem(IDC_ROLEDEPT_DELETE));
  if (button == nullptr) return;
  const char* caption = nullptr;
  COLORREF color = 0;
  if (IsShownUserDeleted(pane)) {
    caption = T("btn_restore");
    color = kWarningColor;
  } else if (IsShownUserLocked(pane)) {
    caption = T("btn_unlock");
    color = kWarningColor;
  } else {
    caption = T("btn_del");
  }
  const std::string text(TrimBlanks(caption));
  button->SetTextColors(color, color, color, color, color);
  if (button->GetWindowText() != text) {
    button->SetWindowText(text.c_str());
    button->Invalidate();
  }
}

}  // namespace hrz
