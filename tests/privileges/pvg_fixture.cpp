#include "pvg_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "privileges/usrfngrd.h"
#include "resources/dialogs/usrfunc_ids.h"
#include "xbomtree.h"

namespace hrztest {
namespace {

XBOMTree* TreeOf(hrz::DialogDriver& d) {
  return dynamic_cast<XBOMTree*>(d.Dialog().GetDlgItem(IDC_USRFUNC_TREE));
}

}  // namespace

const std::map<std::string, std::string>& PrivilegeTexts() {
  static const std::map<std::string, std::string> texts = {
      {"dlg_userfuncpvg/pvg no place", "%s has no place"},
      {"dlg_userfuncpvg/inherited view from", "view from %s"},
      {"dlg_userfuncpvg/inherited modify from", "modify from %s"},
  };
  return texts;
}

void PrivilegeTest::SetUp() {
  ClientTest::SetUp();
  const char* temp = std::getenv("TMPDIR");
  savedTemp_ = temp != nullptr ? temp : "";
  setenv("TMPDIR", dir_.Path().c_str(), 1);
}

void PrivilegeTest::TearDown() {
  db_.reset();
  if (savedTemp_.empty()) {
    unsetenv("TMPDIR");
  } else {
    setenv("TMPDIR", savedTemp_.c_str(), 1);
  }
  ClientTest::TearDown();
}

void PrivilegeTest::SetMarks(int nid, const std::string& marks, int grantor) {
  char entry[9] = {};  // little-endian
  std::snprintf(entry, sizeof entry, "%02X%02X%02X%02X", grantor & 0xff, (grantor >> 8) & 0xff,
                (grantor >> 16) & 0xff, (grantor >> 24) & 0xff);
  std::string grantors;
  for (std::size_t i = 0; i < marks.size(); ++i) grantors += entry;
  WriteStore(storePath_, "insert or replace into SRV_PRIVILEGE(NID, CPVG, BGRANTORS) values(" +
                             std::to_string(nid) + ", '" + marks + "', x'" + grantors + "')");
}

std::vector<std::string> PrivilegeTest::StoreTexts(const std::string& sql) {
  std::vector<std::string> texts;
  for (const std::string& row : StoreRows(storePath_, sql)) {
    texts.push_back(row.substr(2, row.size() - 3));  // "3:text|"
  }
  return texts;
}

std::vector<std::string> PrivilegeTest::MessagesSince(std::size_t count) const {
  std::vector<std::string> texts = Messages();
  texts.erase(texts.begin(), texts.begin() + std::min(count, texts.size()));
  return texts;
}

std::string PrivilegeTest::StoredMarks(int nid) {
  const std::vector<std::string> marks =
      StoreTexts("select CPVG from SRV_PRIVILEGE where NID = " + std::to_string(nid));
  return marks.empty() ? "<none>" : marks.front();
}

std::string PrivilegeTest::StoredGrantors(int nid) {
  const std::vector<std::string> rows =
      StoreTexts("select hex(BGRANTORS) from SRV_PRIVILEGE where NID = " + std::to_string(nid));
  if (rows.empty()) return "<none>";
  const std::string& hex = rows.front();
  std::string list;
  for (std::size_t i = 0; i + 8 <= hex.size(); i += 8) {
    const unsigned long value = std::stoul(
        hex.substr(i + 6, 2) + hex.substr(i + 4, 2) + hex.substr(i + 2, 2) + hex.substr(i, 2),
        nullptr, 16);
    list += (list.empty() ? "" : ",") + std::to_string(value);
  }
  return list;
}

void PrivilegeTest::StartAs(const char* code, const char* password) {
  db_ = LogonAs(code, password);
  ASSERT_EQ(module_.Initialise(db_.get()), 1);
}

void PrivilegeTest::StartAsAdmin() {
  StartAs("adm", kAdminPassword);
}

void PrivilegeTest::RunEditor(const char* command, std::function<void(hrz::DialogDriver&)> action) {
  module_.user().OnDialog(IDD_USRFUNC, std::move(action));
  EXPECT_EQ(module_.Run(command), 1);
}

std::string PrivilegeTest::Query(const std::string& sql) {
  Connection adm = LogonAs("adm", kAdminPassword);
  return QueryText(adm.get(), sql);
}

hrz::XFuncPvgGrid& GridOf(hrz::DialogDriver& d) {
  auto* grid = dynamic_cast<hrz::XFuncPvgGrid*>(d.Dialog().GetDlgItem(IDC_USRFUNC_GRID));
  EXPECT_NE(grid, nullptr);
  return *grid;
}

int RowOf(hrz::DialogDriver& d, const std::string& code) {
  hrz::XFuncPvgGrid& grid = GridOf(d);
  const int col = grid.GetColByCtrlName("CCODE");
  for (int row = 1; row < grid.GetRows(); ++row) {
    if (grid.GetItemString(row, col) == code) return row;
  }
  return -1;
}

std::string ViewCell(hrz::DialogDriver& d, const std::string& code) {
  return GridOf(d).GetItemString(RowOf(d, code), GridOf(d).ViewCol());
}

std::string ModifyCell(hrz::DialogDriver& d, const std::string& code) {
  return GridOf(d).GetItemString(RowOf(d, code), GridOf(d).ModifyCol());
}

std::string Grantor(hrz::DialogDriver& d, const std::string& code) {
  return GridOf(d).GetItemString(RowOf(d, code), GridOf(d).CreatorCol());
}

void DoubleClickMark(hrz::DialogDriver& d, const std::string& code, bool modify) {
  hrz::XFuncPvgGrid& grid = GridOf(d);
  const int row = RowOf(d, code);
  ASSERT_GE(row, 1) << code;
  ASSERT_GT(grid.GetRowHeight(row), 0) << code << " is hidden";
  const int col = modify ? grid.ModifyCol() : grid.ViewCol();
  ASSERT_GT(grid.GetColumnWidth(col), 0) << "the column is hidden";
  grid.DoubleClickCell(row, col);
}

std::vector<std::string> VisibleCodes(hrz::DialogDriver& d) {
  hrz::XFuncPvgGrid& grid = GridOf(d);
  const int col = grid.GetColByCtrlName("CCODE");
  std::vector<std::string> codes;
  for (int row = 1; row < grid.GetRows(); ++row) {
    if (grid.GetRowHeight(row) > 0) codes.push_back(grid.GetItemString(row, col));
  }
  return codes;
}

bool ClickRecord(hrz::DialogDriver& d, int nid) {
  XBOMTree* tree = TreeOf(d);
  if (tree == nullptr) return false;
  for (int node = 0; node < tree->GetNodes(-1); ++node) {
    char kind[17] = {};
    if (tree->GetBITM_NID(node, kind) == nid) return d.Select(IDC_USRFUNC_VIEW, node);
    const std::string k = kind;
    if ((k == "UDEPT" || k == "UROLE") && !tree->IsExpanded(node)) tree->Expand(node);
  }
  return false;
}

int FocusedNid(hrz::DialogDriver& d) {
  XBOMTree* tree = TreeOf(d);
  return tree != nullptr ? tree->GetBITM_NID(tree->GetFocusNode()) : -1;
}

std::string MessageOfRow(hrz::DialogDriver& d, const std::string& code) {
  hrz::XFuncPvgGrid& grid = GridOf(d);
  grid.ClickCell(RowOf(d, code), grid.GetColByCtrlName("CCODE"));
  return d.Text(IDC_USRFUNC_MESSAGE_AREA);
}

}  // namespace hrztest
