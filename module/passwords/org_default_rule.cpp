#include "passwords/org_default_rule.h"

#include "hrzcommon/text.h"
#include "xbomtree.h"
#include "xclidb.h"
#include "xrecobjctrl.h"

namespace hrz {
namespace {

constexpr int kValueCapacity = 512;

bool ReadText(XCliGenRS& rs, int column, std::string* out) {
  char text[kValueCapacity] = {};
  if (!rs.GetFieldValue(column, XCLI_TYPE_TEXT, text, sizeof text)) return false;
  *out = TrimBlanks(text);
  return true;
}

}  // namespace

bool ReadOrgDefaultPwdRule(tagXCliDB* db, PwdRuleValues* values) {
  // The root is the first node of the organisation tree, whatever its NID.
  XBOMTree tree;
  tree.SetDB(db);
  if (tree.AddRootNode("UUSR", -1, TRUE) < 0) return false;
  const int root = tree.GetBITM_NID(0);
  if (root < 1) return false;
  const std::string sql =
      "select CPWDRULE, NPWDDAYS, DMODIPWD from UUSR where NID = " + std::to_string(root);
  XCliGenRS rs(db);
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF()) return false;
  PwdRuleValues read;
  if (!ReadText(rs, 0, &read.rule) || !ReadText(rs, 1, &read.days) ||
      !ReadText(rs, 2, &read.lastChange)) {
    return false;
  }
  *values = std::move(read);
  return true;
}

bool GiveNewUserDefaultPwdRule(tagXCliDB* db, XShowRecObjCtrl* record) {
  PwdRuleValues values;
  if (record == nullptr || !ReadOrgDefaultPwdRule(db, &values)) return false;
  record->SetCtrlText(record->GetCtrlCfgNode("CPWDRULE"), values.rule.c_str());
  record->SetCtrlText(record->GetCtrlCfgNode("NPWDDAYS"), values.days.c_str());
  record->SetCtrlText(record->GetCtrlCfgNode("DMODIPWD"), values.lastChange.c_str());
  return true;
}

}  // namespace hrz
