// What the privilege editor's tests share: the sample store reached embedded or over TCP,
// the module initialised with a logged-on user, and the editor's tree and grid read and
// clicked as a user reads and clicks them.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "automation.h"
#include "cool_dialog.h"
#include "support/module_host.h"
#include "support/stores.h"

namespace hrz {
class XFuncPvgGrid;
}

namespace hrztest {

// Sample records.
constexpr int kAdminNid = 1;
constexpr int kRootNid = 2;
constexpr int kEngNid = 301;
constexpr int kMechNid = 302;
constexpr int kCadNid = 303;
constexpr int kSalesNid = 304;
constexpr int kQaNid = 305;
constexpr int kReviewNid = 306;
constexpr int kAliceNid = 308;
constexpr int kBobNid = 309;
constexpr int kGraceNid = 314;

// Host texts with placeholders, so that formatted messages can be read.
const std::map<std::string, std::string>& PrivilegeTexts();

class PrivilegeTest : public ClientTest {
 protected:
  // The temporary folder of the module's files is the test's own, so that runs side by side
  // never share a file.
  void SetUp() override;
  void TearDown() override;

  // A node's string straight into the store, every mark granted by grantor.
  void SetMarks(int nid, const std::string& marks, int grantor = kAdminNid);
  // The node's stored string and its grantors as "1,0,314"; "<none>" when it has no row.
  std::string StoredMarks(int nid);
  std::string StoredGrantors(int nid);
  // Each row of a one-column query straight on the store, as text.
  std::vector<std::string> StoreTexts(const std::string& sql);
  // Logs on as code and hands the connection to the module, as the host does.
  void StartAs(const char* code, const char* password);
  void StartAsAdmin();
  // Runs command (the editor) with action inside it.
  void RunEditor(const char* command, std::function<void(hrz::DialogDriver&)> action);
  std::vector<std::string> Messages() const { return module_.MessageTexts(); }
  // The texts of the message boxes shown after the first count of them.
  std::vector<std::string> MessagesSince(std::size_t count) const;
  // As the administrator, the first column of the first row.
  std::string Query(const std::string& sql);

  ModuleHost module_{PrivilegeTexts()};
  Connection db_;

 private:
  std::string savedTemp_;
};

hrz::XFuncPvgGrid& GridOf(hrz::DialogDriver& d);
// The grid row of a catalogue code; -1 when none.
int RowOf(hrz::DialogDriver& d, const std::string& code);
// The "VIEW", "MODI" and "CREATOR" cells of a code's row.
std::string ViewCell(hrz::DialogDriver& d, const std::string& code);
std::string ModifyCell(hrz::DialogDriver& d, const std::string& code);
std::string Grantor(hrz::DialogDriver& d, const std::string& code);
// Double-clicks a code's view or modify cell.
void DoubleClickMark(hrz::DialogDriver& d, const std::string& code, bool modify);
// The codes of the rows a user sees (height above 0), in order.
std::vector<std::string> VisibleCodes(hrz::DialogDriver& d);
// Clicks the tree node of a record, expanding the way down; false when there is none.
bool ClickRecord(hrz::DialogDriver& d, int nid);
// The NID of the tree's focused node; -1 when none.
int FocusedNid(hrz::DialogDriver& d);
// Focuses a code's row, as a click on its code cell does, and reads the message area.
std::string MessageOfRow(hrz::DialogDriver& d, const std::string& code);

}  // namespace hrztest
