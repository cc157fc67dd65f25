// What the user manager's tests share: the sample store reached embedded or over TCP, the
// module initialised with a logged-on user, and the manager's tree found by record.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "automation.h"
#include "cool_dialog.h"
#include "support/module_host.h"
#include "support/stores.h"

namespace hrztest {

// Sample records used by the tests.
constexpr int kRootNid = 2;
constexpr int kEngNid = 301;
constexpr int kMechNid = 302;
constexpr int kQaNid = 305;
constexpr int kAliceNid = 308;
constexpr int kBobNid = 309;
constexpr int kDaveNid = 311;
constexpr int kFrankNid = 313;
constexpr int kGraceNid = 314;

// Host texts with placeholders, so the formatted messages can be read.
const std::map<std::string, std::string>& ManagerTexts();

class ManagerTest : public ClientTest {
 protected:
  void TearDown() override;

  // Gives a department or role a privilege string (position 2 is "UUSR").
  void Grant(int nid, const std::string& marks);
  // Logs on as code and hands the connection to the module, as the host does.
  void StartAs(const char* code, const char* password);
  void StartAsAdmin();
  // Runs "XUSRMAN" with action inside the manager.
  void RunManager(std::function<void(hrz::DialogDriver&)> action);
  std::vector<std::string> Messages() const { return module_.MessageTexts(); }
  // As the administrator, the first column of the first row.
  std::string Query(const std::string& sql);

  ModuleHost module_{ManagerTexts()};
  Connection db_;
};

// The node of a record in the dialog's tree treeId, expanding departments and roles on the
// way down as a user would; -1 when not found.
int TreeNodeOf(hrz::DialogDriver& d, int treeId, int nid);
// The manager's tree node of a record.
int NodeOf(hrz::DialogDriver& d, int nid);
// In the user picker: clicks the record's node in its tree and then OK.
bool PickInTree(hrz::DialogDriver& picker, int nid);
// Clicks the tree node of a record; false when there is none.
bool ClickRecord(hrz::DialogDriver& d, int nid);
// The NID of the tree's focused node; -1 when none.
int SelectedNid(hrz::DialogDriver& d);
// The record pane's field text, by control name.
std::string Field(hrz::DialogDriver& d, const char* name);
// The text of the tip windows now shown, in no particular order.
std::vector<std::string> ShownTips();

}  // namespace hrztest
