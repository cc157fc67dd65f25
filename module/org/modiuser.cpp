#include "org/modiuser.h"

#include <string>

#include "entry/request_channel.h"
#include "entry/requests.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "login/lgnmacip.h"
#include "org/org_prompts.h"
#include "org/org_rights.h"
#include "org/save_message.h"
#include "org/userro.h"
#include "org/usertree.h"
#include "support/datenum.h"
#include "support/text_patterns.h"
#include "xbomtree.h"
#include "xclidb.h"

namespace hrz {
namespace {

UnitTexts T("dlg_userman");
SectionTexts OtherTexts;

constexpr int kPasswordMaxChars = 63;
// The longest value one entry of the save message carries.
constexpr std::size_t kSaveValueMax = 8063;
constexpr std::size_t kFieldTextCapacity = 65536;

// The text of a field as typed, untrimmed; empty for a bad node.
std::string RawText(const XShowRecObjCtrl& pane, int node) {
  std::string text(kFieldTextCapacity, '\0');
  if (!pane.GetCtrlText(node, text.data(), static_cast<int>(text.size()))) return {};
  text.resize(std::char_traits<char>::length(text.c_str()));
  return text;
}

std::string TrimmedText(const XShowRecObjCtrl& pane, int node) {
  return std::string(TrimBlanks(RawText(pane, node)));
}

// The field's label, or its name when it has none.
std::string LabelOf(const XRecObjCtrl& pane, int node) {
  const char* label = pane.GetCtrlLabel(node);
  return label != nullptr && label[0] != '\0' ? label : pane.GetCtrlName(node);
}

std::string NowAsDateNumber(tagXCliDB* db) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (XCliDB_GetServerTime(db, &year, &month, &day, &hour, &minute, &second)) {
    return FormatDateNumber(DateNumber(year, month, day, hour, minute, second));
  }
  return FormatDateNumber(LocalDateNumber());
}

// The kind a new record of this layout receives.
const char* KindOfLayout(const char* layout) {
  const std::string_view name = TrimBlanks(layout);
  if (EqualsNoCase(name, "UDEPT") || EqualsNoCase(name, "UDEPT New")) return "UDEPT";
  if (EqualsNoCase(name, "UROLE") || EqualsNoCase(name, "UROLE New")) return "UROLE";
  return "UUSRI";
}

// A value list field sends the stored value behind its shown text.
std::string ValueToSend(tagXCliDB* db, const char* field, const std::string& text) {
  char stored[256] = {};
  if (XCliGetFldOrgVal(db, field, text.c_str(), 1, stored, 0)) return stored;
  return text;
}

}  // namespace

int IsUserCodeTaken(tagXCliDB* db, const char* code, int ownNid) {
  return IsUserCodeFree(db, code, ownNid) ? 0 : 1;
}

int CUserRecCtrl::CheckUserField(int node) {
  const char* name = GetCtrlName(node);
  if (name == nullptr) return 1;
  if (EqualsNoCase(name, "CPWD") || EqualsNoCase(name, "RE_CPWD")) {
    const int pwd = GetCtrlCfgNode("CPWD");
    const int again = GetCtrlCfgNode("RE_CPWD");
    if (pwd < 1 || again < 1 || TrimmedText(*this, pwd) != TrimmedText(*this, again)) {
      ShowOrgMessage(window_, T("pwd not same"));
      return 0;
    }
    if (TrimmedText(*this, pwd).empty()) {
      const std::string ask = OtherTexts("dlg_chgpwd", "empty pwd");
      return MessageBoxA(window_ != nullptr ? window_->GetSafeHwnd() : nullptr, ask.c_str(),
                         OtherTexts("dlg_chgpwd", "mb_cap"),
                         MB_OKCANCEL | MB_ICONEXCLAMATION) == IDOK;
    }
    return 1;
  }
  // The whole text: the check of a prefix would warn of a piece cut in two.
  const std::string text = TrimmedText(*this, node);
  if (EqualsNoCase(name, "CLGNMAC") && !text.empty() && !IsValidLgnMacList(text.c_str())) {
    const std::string warning = OtherTexts("dlg_user_lgnmac", "Invalid local mac");
    MessageBoxA(window_ != nullptr ? window_->GetSafeHwnd() : nullptr, warning.c_str(),
                OtherTexts("dlg_user_lgnmac", "mb_cap"), MB_OK | MB_ICONEXCLAMATION);
  }
  if (EqualsNoCase(name, "CLGNIP") && !text.empty() && !IsValidLgnIpList(text.c_str())) {
    const std::string warning = OtherTexts("dlg_user_lgnmac", "invalid lgn ips");
    MessageBoxA(window_ != nullptr ? window_->GetSafeHwnd() : nullptr, warning.c_str(),
                OtherTexts("dlg_user_lgnmac", "mb_cap"), MB_OK | MB_ICONEXCLAMATION);
  }
  unsigned char required[4] = {};
  GetCtrlCfgData(node, XCTRLCFG_REQUIRED, required, sizeof required);
  if (required[2] != 0 && text.empty()) {
    ShowOrgMessage(window_, FormatTemplate(T("val must not null"), LabelOf(*this, node)).c_str());
    return 0;
  }
  return 1;
}

int CUserRecCtrl::SaveUserRec() {
  tagXCliDB* db = GetDB();
  const bool isNew = mode_ == kPaneModeNew;
  RecordBlock block;
  block.layout = GetCurrentObj();
  if (!isNew) {
    block.itemNid = GetShowRecNID("UUSR");
    if (block.itemNid < 0) return 0;
    block.linkNid = GetShowRecNID("UUSRBM");
    block.linkMode = block.linkNid < 1 ? protocol::kRecordLinkNone : protocol::kRecordLinkUpdate;
  }
  const int again = GetCtrlCfgNode("RE_CPWD");
  if (GetCtrlCfgNode("CPWD") > 0 && again > 0 && !CheckUserField(again)) return -1;
  int parentNode = -1;
  if (isNew) {
    parentNode = tree_ != nullptr ? tree_->DeptAtOrAbove(tree_->RememberedNode()) : -1;
    if (parentNode < 0) {
      ShowOrgMessage(window_, T("must sel node"));
      return -1;
    }
    block.itemMode = protocol::kRecordModeNew;
    block.linkMode = protocol::kRecordLinkNew;
    block.parentNid = tree_->GetBITM_NID(parentNode);
  }

  int counted = 0;
  SavedRecordNids saved{block.itemNid, block.linkNid};
  {
    SendLockScope lock(db);
    RecordSaveMessages messages(block, [&](std::span<const std::uint8_t> body, bool last) {
      return RecordSaveRequest(db, lock.lock(), last, body.data(), static_cast<int>(body.size()),
                               last ? &saved : nullptr);
    });
    for (int node = 1; node <= GetCtrlCount(); ++node) {
      const char* name = GetCtrlName(node);
      if (EqualsNoCase(name, "CPWD") || EqualsNoCase(name, "RE_CPWD")) continue;
      if (!CheckUserField(node)) return -1;
      if (!IsFieldChanged(node, isNew ? protocol::kRecordModeNew : protocol::kRecordModeUpdate))
        continue;
      ++counted;
      XCtrlFieldItem field;
      GetCtrlCfgData(node, XCTRLCFG_FIELD, &field, sizeof field);
      if (field.typeCode == XFIELD_TYPE_NOT_SAVED) continue;
      const std::string text = TrimmedText(*this, node);
      // A longer value would be cut: refuse rather than save another text than the one shown.
      if (text.size() > kSaveValueMax) return -1;
      if (EqualsNoCase(field.field, "UUSR.CCODE") &&
          IsUserCodeTaken(db, text.c_str(), isNew ? -1 : block.itemNid)) {
        ShowOrgMessage(window_, FormatTemplate(T("msg_uno_repeat"), LabelOf(*this, node)).c_str());
        return -1;
      }
      if (!messages.Append(field.field, ValueToSend(db, field.field, text))) return -1;
    }
    if (counted > 0 || isNew) {
      const std::string now = NowAsDateNumber(db);
      const char* view = XBOMViewCache::GetViewFldByNo(db, "UUSRBM", "UUSR");
      const std::string viewField = std::string("UUSRBM.") + (view[0] != '\0' ? view : "CVWA");
      const bool sent =
          (!isNew || (messages.Append("UUSR.CSRC", KindOfLayout(block.layout.c_str()), true) &&
                      messages.Append("UUSR.NCRTOR", LoggedOnCode(db)) &&
                      messages.Append("UUSR.DCRTE", now))) &&
          messages.Append("UUSR.DMODI", now) && (!isNew || messages.Append(viewField, "T"));
      if (!sent) return -1;
    }
    if (!messages.Finish()) return -1;
  }

  if (isNew && tree_ != nullptr) {
    tree_->ReloadChildren(parentNode);
    for (int child = tree_->GetFirstChildNode(parentNode); child >= 0;
         child = tree_->GetNextNode(child)) {
      if (tree_->GetBITM_NID(child) == saved.itemNid) {
        tree_->SetFocusNode(child, FALSE, TRUE);
        break;
      }
    }
  }
  const int passwords = SetPasswordAfterSave();
  ShowPasswordMasks();
  const char* const tables[] = {"UUSR", "UUSRBM"};
  const int nids[] = {saved.itemNid, saved.linkNid};
  SetShowRecNID(tables, nids, 2);
  mode_ = kPaneModeShowing;
  SetCtrlsModify(FALSE);
  return counted + passwords;
}

int CUserRecCtrl::SetPasswordAfterSave() {
  const int pwd = GetCtrlCfgNode("CPWD");
  const int again = GetCtrlCfgNode("RE_CPWD");
  if (pwd < 1 || again < 1 || !IsCtrlModified(again)) return 0;
  const std::string typed = RawText(*this, again);
  HWND owner = window_ != nullptr ? window_->GetSafeHwnd() : nullptr;
  auto tell = [&](const std::string& text) {
    MessageBoxA(owner, text.c_str(), OtherTexts("dlg_chgpwd", "mb_cap"),
                MB_OK | MB_ICONEXCLAMATION);
  };
  // A longer password would be cut to another one than typed.
  if (typed.find(kPwdMask) != std::string::npos || CountCodePoints(typed) > kPasswordMaxChars) {
    tell(OtherTexts("dlg_chgpwd", "invalid pwd"));
    return 0;
  }
  if (!LoggedOnAsAdmin(GetDB())) {
    tell(OtherTexts("dlg_chgpwd", "no_right"));
    return 0;
  }
  const std::string code(FirstCodePoints(
      TrimmedText(*this, GetCtrlCfgNodeFromOrgFldName("UUSR.CCODE")), kPasswordMaxChars));
  if (SetPasswordRequest(GetDB(), code.c_str(), typed.c_str()) == SetPasswordOutcome::kSet) {
    return 1;
  }
  ShowOrgMessage(window_, T("change_fail"));
  return 0;
}

}  // namespace hrz
