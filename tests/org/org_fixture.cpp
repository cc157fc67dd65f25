#include "org_fixture.h"

#include "resources/dialogs/roledept_ids.h"
#include "resources/dialogs/seluser_ids.h"
#include "xbomtree.h"

namespace hrztest {

const std::map<std::string, std::string>& ManagerTexts() {
  static const std::map<std::string, std::string> texts = {
      {"dlg_userman/val must not null", "%s must not be empty."},
      {"dlg_userman/msg_uno_repeat", "%s is taken."},
      {"dlg_userman/search result rows", "%d rows found"},
      {"dlg_userman/sure del", "Delete %s?"},
      {"dlg_userman/mv user dept", "Move %s to"},
      {"dlg_userman/sure del cat", "Delete the department or role %s?"},
      {"dlg_userman/sure remove", "Remove %s from here?"},
      {"dlg_user_lgnmac/ip write fail", "%d entries kept their list."},
      {"dlg_user_lgnmac/ip list too long", "At most %d characters."},
      {"dlg_user_lgnmac/mac list full", "At most %d characters."},
  };
  return texts;
}

void ManagerTest::TearDown() {
  db_.reset();
  ClientTest::TearDown();
}

void ManagerTest::Grant(int nid, const std::string& marks) {
  std::string grantors;
  for (std::size_t i = 0; i < marks.size(); ++i) grantors += "01000000";
  WriteStore(storePath_, "insert or replace into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(" +
                             std::to_string(nid) + ", '" + marks + "', x'" + grantors + "')");
}

void ManagerTest::StartAs(const char* code, const char* password) {
  db_ = LogonAs(code, password);
  ASSERT_EQ(module_.Initialise(db_.get()), 1);
}

void ManagerTest::StartAsAdmin() {
  StartAs("adm", kAdminPassword);
}

void ManagerTest::RunManager(std::function<void(hrz::DialogDriver&)> action) {
  module_.user().OnDialog(IDD_ROLEDEPT, std::move(action));
  EXPECT_EQ(module_.Run("XUSRMAN"), 1);
}

std::string ManagerTest::Query(const std::string& sql) {
  Connection adm = LogonAs("adm", kAdminPassword);
  return QueryText(adm.get(), sql);
}

int TreeNodeOf(hrz::DialogDriver& d, int treeId, int nid) {
  auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(treeId));
  if (tree == nullptr) return -1;
  for (int node = 0; node < tree->GetNodes(-1); ++node) {
    char kind[17] = {};
    if (tree->GetBITM_NID(node, kind) == nid) return node;
    const std::string k = kind;
    if ((k == "UDEPT" || k == "UROLE") && !tree->IsExpanded(node)) tree->Expand(node);
  }
  return -1;
}

int NodeOf(hrz::DialogDriver& d, int nid) {
  return TreeNodeOf(d, IDC_ROLEDEPT_TREE, nid);
}

bool PickInTree(hrz::DialogDriver& picker, int nid) {
  const int node = TreeNodeOf(picker, IDC_SELUSER_TREE, nid);
  return node >= 0 && picker.Select(IDC_SELUSER_VIEW, node) && picker.Click(IDOK);
}

bool ClickRecord(hrz::DialogDriver& d, int nid) {
  const int node = NodeOf(d, nid);
  return node >= 0 && d.Select(IDC_ROLEDEPT_VIEW, node);
}

std::string Field(hrz::DialogDriver& d, const char* name) {
  return d.FieldText(IDC_ROLEDEPT_RECORD, name);
}

int SelectedNid(hrz::DialogDriver& d) {
  auto* tree = dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_ROLEDEPT_TREE));
  return tree != nullptr ? tree->GetBITM_NID(tree->GetFocusNode()) : -1;
}

}  // namespace hrztest
