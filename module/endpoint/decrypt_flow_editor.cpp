#include "endpoint/decrypt_flow_editor.h"

#include "endpoint/kqextapps_dlg.h"
#include "entry/texts.h"
#include "hrzcommon/text.h"

namespace hrz {

bool EditDecryptFlow(CWnd* parent, int nid, std::string* result) {
  const char* freeText = HostSetting("kqflow", "dec ext");
  if (freeText == nullptr || !EqualsNoCase(TrimBlanks(freeText), "true")) {
    return false;  // wired to CDecryptAppsDlg when it lands
  }
  CKQExtAppsDlg dialog(parent);
  dialog.SetUserNid(nid);
  if (dialog.DoModal() != IDOK) return false;
  if (result != nullptr) *result = dialog.ResultText();
  return true;
}

}  // namespace hrz
