#include "endpoint/decrypt_flow_editor.h"

#include "endpoint/decrypt_apps_dlg.h"
#include "endpoint/kqextapps_dlg.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"

namespace hrz {

namespace {

template <typename Dialog>
bool RunEditor(CWnd* parent, int nid, std::string* result) {
  Dialog dialog(parent);
  dialog.SetUserNid(nid);
  if (dialog.DoModal() != IDOK) return false;
  if (result != nullptr) *result = dialog.ResultText();
  return true;
}

}  // namespace

bool EditDecryptFlow(CWnd* parent, int nid, std::string* result) {
  const char* freeText = HostSetting("kqflow", "dec ext");
  if (freeText != nullptr && EqualsNoCase(TrimBlanks(freeText), "true")) {
    return RunEditor<CKQExtAppsDlg>(parent, nid, result);
  }
  return RunEditor<CDecryptAppsDlg>(parent, nid, result);
}

}  // namespace hrz
