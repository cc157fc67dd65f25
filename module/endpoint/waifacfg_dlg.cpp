#include "endpoint/waifacfg_dlg.h"

#include <cstdint>
#include <limits>

#include "entry/module_state.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "platform_ui.h"
#include "resources/dialogs/waifacfg_ids.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userfuncpvg");

constexpr std::size_t kLimitMaxChars = 511;

std::string Kept(std::string_view text) {
  return std::string(TrimBlanks(FirstCodePoints(text, kLimitMaxChars)));
}

}  // namespace

std::optional<int> ParseOutgoingLimit(std::string_view typed) {
  const std::string_view text = TrimBlanks(typed);
  if (text.empty()) return 0;
  long long value = 0;
  if (!ParseWholeNumber(text, &value) || value < 0 ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

CWaiFaCfgDlg::CWaiFaCfgDlg(CWnd* parent) : CCoolDialog(IDD_WAIFACFG, parent) {}

void CWaiFaCfgDlg::SetCountText(std::string_view text) {
  count_ = Kept(text);
}

void CWaiFaCfgDlg::SetTimeText(std::string_view text) {
  time_ = Kept(text);
}

BOOL CWaiFaCfgDlg::OnInitDialog() {
  CCoolDialog::OnInitDialog();
  SetWindowText(T("dlg_cap"));
  SetDlgItemText(IDC_WAIFACFG_COUNT_LABEL, T("lbl_wfmaxcnt"));
  SetDlgItemText(IDC_WAIFACFG_TIME_LABEL, T("lbl_wfmaxtm"));
  SetDlgItemText(IDOK, T("btn_save"));
  SetDlgItemText(IDCANCEL, T("btn_cancel"));
  for (int id : {IDC_WAIFACFG_COUNT, IDC_WAIFACFG_TIME}) {
    if (auto* edit = dynamic_cast<CCoolEdit*>(GetDlgItem(id))) {
      edit->LimitText(static_cast<int>(kLimitMaxChars));
    }
  }
  SetDlgItemText(IDC_WAIFACFG_COUNT, count_.c_str());
  SetDlgItemText(IDC_WAIFACFG_TIME, time_.c_str());
  return TRUE;
}

std::optional<int> CWaiFaCfgDlg::ReadLimit(int id) {
  const std::optional<int> limit =
      ParseOutgoingLimit(FirstCodePoints(GetDlgItemText(id), kLimitMaxChars));
  if (!limit) {
    if (CWnd* edit = GetDlgItem(id)) edit->SetFocus();
    ShowMessage(T("illegal data"));
  }
  return limit;
}

void CWaiFaCfgDlg::OnOK() {
  const std::optional<int> time = ReadLimit(IDC_WAIFACFG_TIME);
  if (!time) return;
  const std::optional<int> count = ReadLimit(IDC_WAIFACFG_COUNT);
  if (!count) return;
  // One statement: the pair is stored whole or not at all. The numbers are written as
  // parsed, never as typed.
  const std::string sql = "update UUSR set NWFMAXTM = " + std::to_string(*time) +
                          ", NWFMAXCNT = " + std::to_string(*count) +
                          " where NID = " + std::to_string(nid_);
  if (XCliDB_ExecuteSQL(Module().db, sql.c_str(), 0, 0) < 1) {
    ShowMessage(T("save error"));
    return;
  }
  time_ = std::to_string(*time);
  count_ = std::to_string(*count);
  EndDialog(IDOK);
}

void CWaiFaCfgDlg::ShowMessage(const char* text) {
  const std::string message = text;
  MessageBoxA(GetSafeHwnd(), message.c_str(), T("mb_cap"), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace hrz
