#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QIcon>
#include <QImage>
#include <QMenuBar>
#include <QStyle>
#include <QWidget>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "automation.h"
#include "client_version.h"
#include "entry/command_table.h"
#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "extension_module.h"
#include "host_bridge.h"
#include "host_resources.h"
#include "hrzcommon/text.h"
#include "hrzserver/tls_identity.h"
#include "logon_dialog.h"
#include "main_window.h"
#include "options.h"
#include "password_expiry.h"
#include "platform_ui.h"
#include "plugin_module.h"
#include "qt_handle.h"
#include "resources/dialogs/chgpwd_ids.h"
#include "resources/dialogs/seluser_ids.h"
#include "screenshots.h"
#include "store_location.h"
#include "support/module_host.h"
#include "support/qt_app.h"
#include "support/stores.h"
#include "support/temp_dir.h"
#include "window_frame.h"
#include "xclidb.h"

namespace hrzhost {
namespace {

namespace fs = std::filesystem;

// Stands in for a module entry and records its calls.
struct EntryCall {
  int code;
  std::string command;
  void** params;
  std::string out;
};
std::vector<EntryCall> g_calls;

int g_entryResult = 7;  // what RecordingEntry returns

int RecordingEntry(int code, const char* command, void** params, char* out) {
  g_calls.push_back({code, command != nullptr ? command : "", params, out != nullptr ? out : ""});
  if (out != nullptr && code == 20) hrz::CopyBounded(out, 3, "OK");
  return g_entryResult;
}

const HostCommand& Command(const char* name) {
  const HostCommand* command = FindHostCommand(name);
  if (command == nullptr) throw std::runtime_error(name);
  return *command;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hrztest::App();
    g_calls.clear();
    g_entryResult = 7;
  }
  hrz::ScriptedAutomation automation_;
};

TEST_F(HostTest, CallbackServesTextsAndTheScopeName) {
  HostBridge bridge;
  HRZCallback callback = bridge.Lib().callback;
  ASSERT_NE(callback, nullptr);
  auto text = [&](const char* section, const char* key) {
    return callback(1, 1, reinterpret_cast<std::intptr_t>(section),
                    reinterpret_cast<std::intptr_t>(key));
  };
  ASSERT_NE(text("dlg_chgpwd", "btn_ok"), nullptr);
  EXPECT_STREQ(text("dlg_chgpwd", "btn_ok"), "OK");
  EXPECT_NE(std::string(text("dlg_chgpwd", "dlg_cap")).find("%s"), std::string::npos)
      << "the caption is a template for the user code";
  EXPECT_NE(std::string(text("dlg_userman", "MSG_LOGON_PWD_TRY_LEFT")).find("%d"),
            std::string::npos);
  EXPECT_EQ(text("dlg_chgpwd", "no such key"), nullptr);
  EXPECT_EQ(text("dlg_chgpwd", nullptr), nullptr);

  char scope[128];
  std::memset(scope, 'x', sizeof(scope));
  callback(1, 4, reinterpret_cast<std::intptr_t>(scope), 0);
  EXPECT_STREQ(scope, kScopeName);
  EXPECT_EQ(callback(9, 9, 0, 0), nullptr);
}

// Every key the module looks up, by section.
struct SectionKeys {
  const char* section;
  std::vector<const char*> keys;
};

const std::vector<SectionKeys>& ModuleKeys() {
  static const std::vector<SectionKeys> keys = {
      {"dlg_chgpwd",
       {"dlg_cap",         "btn_ok",          "btn_close",    "btn_cancel",      "lbl_old_pwd",
        "lbl_new_pwd",     "lbl_re_pwd",      "pwd expired",  "empty pwd",       "overflow pwd",
        "re pwd not same", "change_done",     "change_fail",  "no_right",        "invalid pwd",
        "pwd not rule",    "pwd min len",     "no limit",     "pwd inc caps",    "pwd inc num",
        "pwd inc spec",    "dlg_cap_pwdrule", "pwd chg days", "pwd days err",    "lgn chg pwd",
        "rule new user",   "rule old user",   "mb_cap",       "old pwd too long"}},
      {"dlg_lock_system", {"pwd incorrect", "user locked", "adm locked"}},
      {"dlg_userman",
       {"dlg_cap",
        "dlg_cap_sel_user",
        "dlg_cap_user_info",
        "dlg_cap_userstat",
        "cap_seldept",
        "cap restore",
        "btn_adduser",
        "btn_newuser",
        "btn_newdept",
        "btn_modiuser",
        "btn_moveto",
        "btn_remove",
        "btn_del",
        "btn_restore",
        "btn_unlock",
        "btn_where_used",
        "btn_save",
        "btn_search",
        "btn_switch",
        "btn_refresh",
        "btn_ok",
        "btn_cancel",
        "btn_close",
        "btn_bmp_signature",
        "btn_dwg_signature",
        "search result rows",
        "clivr same",
        "clivr diff",
        "MSG_LOGON_WRONG_PWD",
        "MSG_LOGON_PWD_TRY_LEFT",
        "MSG_OPEN_DB_NOPVG",
        "no pvg",
        "must sel node",
        "must sel type node",
        "must sel user",
        "mv user dept",
        "new usr here",
        "need save",
        "save done",
        "save error",
        "save error continue",
        "qry db err",
        "msg_uno_repeat",
        "create another code",
        "pwd not same",
        "val must not null",
        "change_fail",
        "sure del",
        "sure del cat",
        "sure remove",
        "del root",
        "del not empty cat",
        "err del node",
        "err del user",
        "err remove user",
        "sys user not del",
        "error user dept",
        "mb_cap"}},
      {"dlg_userfuncpvg",
       {"dlg_cap",
        "dlg_cap_add",
        "dlg_cap_add_menu",
        "dlg_cap_kqflow_user",
        "dlg_cap_waifa_users",
        "dlg_cap_prflwrw",
        "how kqflow pvg",
        "how yn pvg",
        "btn_addpvg",
        "btn_addpvg_menu",
        "btn_add_apps",
        "btn_decrypt_apps",
        "btn_save",
        "btn_search",
        "btn_switch",
        "btn_ok",
        "btn_cancel",
        "btn_close",
        "lbl_pvg_code",
        "lbl_pvg_desc",
        "lbl_pvg_type",
        "lbl_cmd_scope",
        "cmd scope all",
        "cmd scope cur",
        "lbl_wfmaxtm",
        "lbl_wfmaxcnt",
        "lbl_ext_add",
        "lbl_note",
        "ico my pvg",
        "ico parent pvg",
        "col yn pvg",
        "how fn pvg",
        "dec flw apps",
        "waifa cnt tm",
        "unlimited",
        "no pvg limit",
        "sure clr apps",
        "add usr func pvg",
        "msg add menu pvg",
        "ask reload svr",
        "can not redraw pvg",
        "code empty",
        "code existed",
        "desc empty",
        "illegal data",
        "must sel node",
        "new sel dept",
        "no pvg",
        "error occur",
        "save error",
        "save error continue",
        "mb_cap"}},
      {"dlg_user_lgnmac",
       {"dlg_cap", "dlg_cap_deptip", "lbl_deptip", "ip help", "ip ok", "ip wrong", "ip err char",
        "invalid lgn ips", "Invalid local mac", "not select", "mb_cap_ip", "mb_cap"}},
      {"dlg_upload_dwg_signature",
       {"dlg_cap", "btn_ok", "btn_cancel", "lbl_file", "lbl_x", "lbl_y", "lbl_h", "invalid input",
        "save done", "save error", "mb_cap"}},
      {"dlg_viewusersign",
       {"dlg_cap", "btn_ok", "btn_viewdwgsg", "chk_user_sign", "on choose user", "only_choose_user",
        "no choose user", "user no dept", "user no sign", "no pvg", "mb_cap"}},
      {"dlg_decrypt_license",
       {"btn_decrypt_apps", "btn_ok", "btn_cancel", "dblclk to modi", "udisk cfg close",
        "udisk cfg none", "udisk cfg read", "cache readonly", "mb_cap"}},
      {"dlg_kqkrn", {"root node text", "other app cat"}},
      {"dlg_addbom", {"bom loop"}},
      {"normal_res",
       {"btn_ok", "btn_cancel", "btn_search", "btn_detail", "btn_usertree", "btn_defval",
        "search result rows", "save ok", "dirty yn save"}},
  };
  return keys;
}

// The texts the module fills in with printf, and the one argument each receives.
std::string TemplateOf(const std::string& section, const std::string& key) {
  if (section == "dlg_chgpwd" && key == "dlg_cap") return "%s";
  if (key == "MSG_LOGON_PWD_TRY_LEFT" || key == "search result rows") return "%d";
  if (section == "dlg_userman" &&
      (key == "mv user dept" || key == "sure del" || key == "sure del cat" ||
       key == "sure remove" || key == "msg_uno_repeat" || key == "val must not null")) {
    return "%s";
  }
  return "";
}

TEST_F(HostTest, EveryKeyTheModuleUsesHasATextWithTheRightPlaceholders) {
  HostBridge bridge;
  for (const SectionKeys& section : ModuleKeys()) {
    for (const char* key : section.keys) {
      const char* text =
          bridge.Lib().callback(1, 1, reinterpret_cast<std::intptr_t>(section.section),
                                reinterpret_cast<std::intptr_t>(key));
      ASSERT_NE(text, nullptr) << section.section << "." << key;
      std::string value = text;
      EXPECT_FALSE(value.empty()) << section.section << "." << key;
      std::string expected = TemplateOf(section.section, key);
      std::string::size_type percent = value.find('%');
      if (expected.empty()) {
        EXPECT_EQ(percent, std::string::npos) << section.section << "." << key << ": " << value;
      } else {
        ASSERT_NE(percent, std::string::npos) << section.section << "." << key;
        EXPECT_EQ(value.substr(percent, 2), expected) << section.section << "." << key;
        EXPECT_EQ(value.find('%', percent + 1), std::string::npos) << "one argument only";
      }
    }
  }
}

// Whether the department IP dialog takes one piece of its list: four parts of digits, "*"
// and "?" joined by three dots, each part 0 to 255 with a wildcard read as the digit 1.
bool DepartmentIpDialogTakes(const std::string& piece) {
  if (piece.find_first_not_of("0123456789*?.") != std::string::npos) return false;
  if (std::count(piece.begin(), piece.end(), '.') != 3) return false;
  std::string digits = piece;
  std::replace_if(
      digits.begin(), digits.end(), [](char c) { return c == '*' || c == '?'; }, '1');
  std::size_t start = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t end = std::min(digits.find('.', start), digits.size());
    if (end - start > 3 || (end > start && std::stoi(digits.substr(start, end - start)) > 255)) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

TEST_F(HostTest, TextsThatExplainARuleAgreeWithIt) {
  HostBridge bridge;
  auto text = [&](const char* section, const char* key) {
    const char* value = bridge.Lib().callback(1, 1, reinterpret_cast<std::intptr_t>(section),
                                              reinterpret_cast<std::intptr_t>(key));
    return std::string(value != nullptr ? value : "");
  };
  // Every address the help offers as an example is one the dialog takes.
  const std::string help = text("dlg_user_lgnmac", "ip help");
  std::vector<std::string> examples;
  std::string word;
  for (char c : help + " ") {
    if (c == ' ' || c == ',' || c == ';') {
      while (!word.empty() && word.back() == '.') word.pop_back();  // the sentence's full stop
      if (word.find('.') != std::string::npos) examples.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  ASSERT_FALSE(examples.empty()) << help;
  for (const std::string& example : examples) {
    EXPECT_TRUE(DepartmentIpDialogTakes(example)) << example << " in: " << help;
  }
  EXPECT_TRUE(DepartmentIpDialogTakes("10.0.*.2**"));
  EXPECT_FALSE(DepartmentIpDialogTakes("10.0.0.1-10.0.0.9"));
  EXPECT_FALSE(DepartmentIpDialogTakes("10.0.0.3**"));

  // The refusals follow the refused address, and none offers a range the dialog refuses.
  for (const char* key : {"ip err char", "ip wrong"}) {
    const std::string refusal = text("dlg_user_lgnmac", key);
    EXPECT_EQ(refusal.rfind(": ", 0), 0u) << key << ": " << refusal;
  }
  for (const char* key : {"ip help", "ip err char", "ip wrong", "lbl_deptip"}) {
    const std::string value = text("dlg_user_lgnmac", key);
    EXPECT_EQ(value.find('-'), std::string::npos) << key << ": " << value;
    EXPECT_EQ(value.find("range"), std::string::npos) << key << ": " << value;
  }

  // "user no dept" is about the signed-in user, who then sees "no pvg" for another's file.
  EXPECT_EQ(text("dlg_viewusersign", "user no dept").rfind("You ", 0), 0u);
  // The tries left read right for one try too.
  const std::string triesLeft = text("dlg_userman", "MSG_LOGON_PWD_TRY_LEFT");
  std::string one = triesLeft;
  one.replace(one.find("%d"), 2, "1");
  EXPECT_EQ(one.find("1 more attempts"), std::string::npos) << one;
}

TEST_F(HostTest, HostSettingsAreLeftToTheModulesDefaults) {
  HostBridge bridge;
  auto text = [&](const char* section, const char* key) {
    return bridge.Lib().callback(1, 1, reinterpret_cast<std::intptr_t>(section),
                                 reinterpret_cast<std::intptr_t>(key));
  };
  EXPECT_EQ(text("dlg_userman", "Quick Search User"), nullptr);
  EXPECT_EQ(text("dlg_user_lgnmac", "Quick Search USETUPINFO"), nullptr);
  EXPECT_EQ(text("kqflow", "dec ext"), nullptr);
}

// A text the host is given stands in for the catalogue's (or for none) until withdrawn.
TEST_F(HostTest, AGivenTextReplacesTheCatalogueUntilWithdrawn) {
  HostBridge bridge;
  auto text = [&](const char* section, const char* key) -> std::string {
    const char* found = bridge.Lib().callback(1, 1, reinterpret_cast<std::intptr_t>(section),
                                              reinterpret_cast<std::intptr_t>(key));
    return found != nullptr ? found : "<none>";
  };
  const std::string unlimited = text("dlg_userfuncpvg", "unlimited");
  bridge.SetText("kqflow", "dec ext", "true");
  bridge.SetText("dlg_userfuncpvg", "unlimited", "No limit");
  EXPECT_EQ(text("kqflow", "dec ext"), "true");
  EXPECT_EQ(text("dlg_userfuncpvg", "unlimited"), "No limit");
  bridge.SetText("kqflow", "dec ext", "");
  bridge.SetText("dlg_userfuncpvg", "unlimited", "");
  EXPECT_EQ(text("kqflow", "dec ext"), "<none>");
  EXPECT_EQ(text("dlg_userfuncpvg", "unlimited"), unlimited);
}

TEST_F(HostTest, CaptureSendsExactlyTheNextCommandToTheEntry) {
  HostBridge bridge;
  int dummyDb = 0;
  bridge.Attach(RecordingEntry, reinterpret_cast<tagXCliDB*>(&dummyDb), nullptr);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].code, 1);
  EXPECT_EQ(g_calls[0].params[1], &dummyDb);
  EXPECT_EQ(g_calls[0].params[2], &bridge.Lib());

  hrz::AutomationScope scope(&automation_);
  auto entry = reinterpret_cast<std::intptr_t>(&RecordingEntry);
  EXPECT_FALSE(bridge.CaptureArmed());
  bridge.Lib().callback(2, 2, entry, entry);
  EXPECT_TRUE(bridge.CaptureArmed());

  int aboutRuns = 0;
  auto runAbout = [&] { ++aboutRuns; };
  HostBridge::Outcome captured = bridge.Run(Command("HOSTABOUT"), runAbout);
  EXPECT_TRUE(captured.captured);
  EXPECT_EQ(captured.result, 7);
  EXPECT_EQ(aboutRuns, 0) << "the captured command does not run";
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].code, 20);
  EXPECT_EQ(g_calls[1].command, "HOSTABOUT");
  EXPECT_EQ(g_calls[1].out, "Menu: About hrzhost") << "the context text";
  EXPECT_FALSE(bridge.CaptureArmed());

  HostBridge::Outcome normal = bridge.Run(Command("HOSTABOUT"), runAbout);
  EXPECT_FALSE(normal.captured);
  EXPECT_EQ(aboutRuns, 1) << "the call after the captured one runs normally";
  EXPECT_EQ(g_calls.size(), 2u);

  HostBridge::Outcome module = bridge.Run(Command("XUSRMAN"), runAbout);
  ASSERT_EQ(g_calls.size(), 3u);
  EXPECT_EQ(g_calls[2].command, "XUSRMAN");
  EXPECT_EQ(g_calls[2].out, "") << "a command without input starts with an empty buffer";
  EXPECT_EQ(module.result, 7);
  EXPECT_EQ(module.out, "OK");
}

// The privilege editor's half is played here: it sets the module's flag and asks the host
// to capture; the host's next command then reaches HRZCmd, which captures it.
TEST_F(HostTest, CaptureRoundTripThroughTheHostAndTheModuleEntry) {
  hrz::Module() = hrz::ModuleState{};
  HostBridge bridge;
  bridge.Attach(HRZCmd, nullptr, nullptr);
  EXPECT_EQ(hrz::Module().lib, &bridge.Lib()) << "code 1 handed over the host record";
  hrz::AutomationScope scope(&automation_);

  hrz::Module().captureFlag = 1;
  auto entry = reinterpret_cast<std::intptr_t>(&HRZCmd);
  hrz::Module().lib->callback(2, 2, entry, entry);
  int aboutRuns = 0;
  HostBridge::Outcome captured = bridge.Run(Command("HOSTABOUT"), [&] { ++aboutRuns; });
  EXPECT_TRUE(captured.captured);
  EXPECT_EQ(captured.result, 1);
  EXPECT_EQ(aboutRuns, 0);
  EXPECT_EQ(hrz::Module().captureFlag, 0) << "the module took exactly this command";

  bridge.Run(Command("HOSTABOUT"), [&] { ++aboutRuns; });
  EXPECT_EQ(aboutRuns, 1) << "and the next one runs";
  hrz::Module() = hrz::ModuleState{};
}

// The menu offers exactly the commands of the module's table, in its order: a command
// added to the module without a menu entry, or an entry the module does not know, fails.
TEST_F(HostTest, MainWindowListsTheModulesCommandsAndShowsResults) {
  HostBridge bridge;
  bridge.Attach(RecordingEntry, nullptr, nullptr);
  MainWindow window(bridge, "adm", "store.db");
  QMenu* admin = nullptr;
  for (QAction* action : window.menuBar()->actions()) {
    if (action->text() == "&Administration") admin = action->menu();
  }
  ASSERT_NE(admin, nullptr);
  std::vector<std::string> names;
  for (QAction* action : admin->actions()) names.push_back(action->objectName().toStdString());
  std::vector<std::string> table;
  for (const hrz::CommandEntry& entry : hrz::CommandTable()) table.push_back(entry.name);
  ASSERT_EQ(table.size(), 12u);
  EXPECT_EQ(names, table);
  for (const HostCommand& command : HostCommands()) {
    const bool inTable = std::find(table.begin(), table.end(), command.name) != table.end();
    EXPECT_EQ(command.moduleCommand, inTable) << command.name;
  }
  auto action = [admin](const char* name) {
    for (QAction* a : admin->actions()) {
      if (a->objectName() == name) return a;
    }
    return static_cast<QAction*>(nullptr);
  };
  action("XSELUSER")->trigger();
  EXPECT_EQ(g_calls.back().out, "UUSRI,KQUSR,UDEPT,UROLE")
      << "the picker is told which kinds the host lets its user pick";
  EXPECT_EQ(window.StatusText(), "XSELUSER: NID 7, a record this store does not hold");
  action("XCHGEXPIREDPWD")->trigger();
  EXPECT_EQ(window.StatusText(), "Password changed");
}

TEST_F(HostTest, TheStatusBarNamesTheRecordThePickerChose) {
  hrztest::TempDir folder;
  const std::string store = folder.Path() + "/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  hrztest::Connection connection = hrztest::TryLogon(store, "adm", kFirstStartAdminPassword);
  ASSERT_TRUE(connection);
  tagXCliDB* db = connection.get();
  HostBridge bridge;
  bridge.Attach(RecordingEntry, db, nullptr);
  MainWindow window(bridge, "adm", store);
  struct Case {
    int chosen;
    std::string status;
  };
  const int bob = XCliGetUserNID(db, "bob");
  const int engineering = XCliGetUserNID(db, "ENG");
  const Case cases[] = {
      {bob, "XSELUSER: NID " + std::to_string(bob) + ", code bob (UUSRI, Bob Baker)"},
      {engineering,
       "XSELUSER: NID " + std::to_string(engineering) + ", code ENG (UDEPT, Engineering)"},
      {-1, "XSELUSER: nothing chosen (it returned -1)"},
  };
  for (const Case& c : cases) {
    g_entryResult = c.chosen;
    window.RunCommand(Command("XSELUSER"));
    EXPECT_EQ(window.StatusText().toStdString(), c.status);
  }
}

// "Select user" with the module linked in: the picker opens with the host's kinds, and what
// the user picks there, or the cancel, reaches the status bar.
TEST_F(HostTest, SelectUserRunsTheModulesPicker) {
  hrztest::TempDir folder;
  const std::string store = folder.Path() + "/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  hrztest::Connection db = hrztest::TryLogon(store, "adm", kFirstStartAdminPassword);
  ASSERT_TRUE(db);
  hrztest::ModuleHost module;
  HostBridge bridge;
  bridge.Attach(HRZCmd, db.get(), nullptr);
  MainWindow window(bridge, "adm", store);
  hrz::ScriptedAutomation& user = module.user();
  user.OnDialog(IDD_SELUSER, [](hrz::DialogDriver& d) {
    ASSERT_TRUE(d.SetText(IDC_SELUSER_SEARCH_TEXT, "bob"));
    ASSERT_TRUE(d.PressKey(IDC_SELUSER_SEARCH_TEXT, VK_RETURN));
    ASSERT_TRUE(d.Select(IDC_SELUSER_VIEW, 1));
    ASSERT_TRUE(d.Click(IDOK));
  });
  user.OnDialog(IDD_SELUSER, [](hrz::DialogDriver& d) { d.Click(IDCANCEL); });
  window.RunCommand(Command("XSELUSER"));
  EXPECT_EQ(window.StatusText().toStdString(), "XSELUSER: NID 309, code bob (UUSRI, Bob Baker)");
  window.RunCommand(Command("XSELUSER"));
  EXPECT_EQ(window.StatusText().toStdString(), "XSELUSER: nothing chosen (it returned -1)");
  EXPECT_EQ(user.Dialogs(), (std::vector<int>{IDD_SELUSER, IDD_SELUSER}));
}

// The way out where no window manager draws a title bar with a close button.
TEST_F(HostTest, FileExitClosesTheMainWindow) {
  HostBridge bridge;
  MainWindow window(bridge, "adm", "store.db");
  window.show();
  QMenu* file = window.menuBar()->actions().value(0)->menu();
  ASSERT_NE(file, nullptr);
  QAction* exit = file->actions().value(file->actions().size() - 1);
  ASSERT_NE(exit, nullptr);
  EXPECT_EQ(exit->text(), "E&xit");
  EXPECT_EQ(exit->shortcut(), QKeySequence(QKeySequence::Quit));
  exit->trigger();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(HostTest, TheRealModuleAnswersThroughItsEntry) {
  PluginModule module;
  std::string error;
  ASSERT_TRUE(module.Load(HRZ_MODULE_FILE, &error)) << error;
  EXPECT_FALSE(module.Load(HRZ_MODULE_FILE, &error));
  HostBridge bridge;
  bridge.Attach(module.Entry(), nullptr, nullptr);
  hrz::AutomationScope scope(&automation_);  // any dialog that opens is cancelled
  auto entry = reinterpret_cast<std::intptr_t>(module.Entry());
  bridge.Lib().callback(2, 2, entry, entry);
  HostBridge::Outcome outcome = bridge.Run(Command("HOSTREFRESH"), [] { FAIL() << "captured"; });
  EXPECT_TRUE(outcome.captured);
  EXPECT_EQ(outcome.result, 1) << "HRZCmd accepts a command it does not know";
  EXPECT_EQ(bridge.Run(Command("XSELUSER"), nullptr).result, -1)
      << "no user chosen in a cancelled picker";

  PluginModule missing;
  EXPECT_FALSE(missing.Load("/no/such/libhrzuser.so", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(HostTest, LogonToTheEmbeddedStoreShowsRefusalsAndKeepsTheConnection) {
  hrztest::TempDir folder;
  std::string store = folder.Path() + "/data/hrzuser/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  ASSERT_TRUE(fs::exists(store));
  ASSERT_TRUE(EnsureStore(store, &error)) << "an existing store is kept";
  ASSERT_TRUE(RegisterHostResources());

  automation_.OnDialog(IDD_LOGON, [](hrz::DialogDriver& logon) {
    EXPECT_NE(logon.Text(IDC_LOGON_HINT).find("admin"), std::string::npos);
    EXPECT_EQ(logon.Text(IDC_LOGON_USER), "adm");
    logon.SetText(IDC_LOGON_PASSWORD, "wrong");
    EXPECT_TRUE(logon.Click(IDOK));
    EXPECT_TRUE(logon.Dialog().IsRunning()) << "a refused logon keeps the dialog open";
    logon.SetText(IDC_LOGON_PASSWORD, kFirstStartAdminPassword);
    EXPECT_TRUE(logon.Click(IDOK));
  });
  hrz::AutomationScope scope(&automation_);
  LogonDialog dialog(store, "adm");
  ResourceHandleScope resources(HostInstance());
  ASSERT_EQ(dialog.DoModal(), IDOK);
  ASSERT_EQ(automation_.MessageBoxes().size(), 1u);
  EXPECT_NE(automation_.MessageBoxes()[0].text.find("not correct"), std::string::npos)
      << automation_.MessageBoxes()[0].text;
  tagXCliDB* db = dialog.TakeConnection();
  ASSERT_NE(db, nullptr);
  char user[64] = "";
  XCliDB_GetUNO(db, user);
  EXPECT_STREQ(user, "adm");
  // The client's version number reaches the server, where the online statistics read it.
  EXPECT_GT(kClientVersion, 0);
  EXPECT_EQ(XCliDB_GetClientVersion(db, 0), kClientVersion);
  XCliGenRS rs(db);
  std::int32_t stored = -1;
  ASSERT_TRUE(rs.Open(1, "select NUPCLIVR from UUSR where CCODE = 'adm'") && !rs.IsEOF() &&
              rs.GetFieldValue(0, XCLI_TYPE_INT32, &stored, sizeof stored));
  EXPECT_EQ(stored, kClientVersion);
  rs.Close();
  XCliDB_Logoff(db);
  XCliDB_Close(db);
}

// Whether a row holds dark pixels (text or a glyph) between two columns.
bool HasInk(const QImage& image, int row, int from, int to) {
  for (int x = from; x < to; ++x) {
    if (qGray(image.pixel(x, row)) < 96) return true;
  }
  return false;
}

// A screenshot shows the dialog as a user sees it: its contents, unchanged, inside a border
// and under a title bar that carries the caption.
TEST_F(HostTest, ScreenshotFramesTheDialogUnderItsCaption) {
  hrztest::TempDir folder;
  ASSERT_TRUE(RegisterHostResources());
  ScreenshotAutomation shots(folder.Path());
  shots.SetName("logon");
  QImage client;
  shots.OnDialog(IDD_LOGON, [&client](hrz::DialogDriver& logon) { client = logon.Grab(); });
  {
    hrz::AutomationScope scope(&shots);
    LogonDialog dialog(folder.Path() + "/store.db", "adm");
    ResourceHandleScope resources(HostInstance());
    dialog.DoModal();
  }
  ASSERT_EQ(shots.Written(), std::vector<std::string>{folder.Path() + "/logon.png"});
  QImage picture(QString::fromStdString(shots.Written()[0]));
  ASSERT_FALSE(picture.isNull());
  ASSERT_FALSE(client.isNull());

  // As wide a frame at the sides as at the bottom; the title bar on top.
  int border = (picture.width() - client.width()) / 2;
  int top = picture.height() - client.height() - border;
  ASSERT_GT(border, 0);
  ASSERT_EQ(picture.width(), client.width() + 2 * border);
  ASSERT_GT(top, border + 16) << "no room for a title bar";
  EXPECT_EQ(picture.copy(border, top, client.width(), client.height())
                .convertToFormat(QImage::Format_RGB32),
            client.convertToFormat(QImage::Format_RGB32))
      << "the dialog's contents appear unchanged inside the frame";

  // The caption stands in the middle of the title bar, where the body's rows are plain.
  int captionRow = (border + top) / 2;
  EXPECT_TRUE(HasInk(picture, captionRow, border + 24, picture.width() / 2));
  for (int row = top; row < top + 8; ++row) {
    EXPECT_FALSE(HasInk(picture, row, border + 24, picture.width() / 2)) << row;
  }
}

// The title bar shows what the window carries: another caption, no icon or other buttons
// change the title bar and nothing below it.
TEST_F(HostTest, TitleBarFollowsTheWindowsCaptionIconAndButtons) {
  auto makeWindow = [] {
    auto window = std::make_unique<QWidget>();
    window->resize(240, 90);
    window->setWindowTitle(QStringLiteral("Roles"));
    window->setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon));
    return window;
  };
  auto base = makeWindow();
  const QImage plain = FramedPicture(*base);
  ASSERT_EQ(FramedPicture(*base), plain) << "the same window gives the same picture";
  const int border = (plain.width() - 240) / 2;
  const int top = plain.height() - 90 - border;
  ASSERT_GT(top, border);

  struct Change {
    const char* what;
    std::function<void(QWidget&)> apply;
  };
  const Change changes[] = {
      {"caption", [](QWidget& w) { w.setWindowTitle(QStringLiteral("Users and departments")); }},
      {"icon", [](QWidget& w) { w.setWindowIcon(QIcon()); }},
      {"buttons", [](QWidget& w) { w.setWindowFlags(Qt::Dialog); }},
  };
  for (const Change& change : changes) {
    auto window = makeWindow();
    change.apply(*window);
    QImage picture = FramedPicture(*window);
    ASSERT_EQ(picture.size(), plain.size()) << change.what;
    EXPECT_NE(picture.copy(0, 0, plain.width(), top), plain.copy(0, 0, plain.width(), top))
        << change.what << " does not show in the title bar";
    EXPECT_EQ(picture.copy(0, top, plain.width(), plain.height() - top),
              plain.copy(0, top, plain.width(), plain.height() - top))
        << change.what << " changed the window below the title bar";
  }
}

// A TLS server is trusted on the user's word at first contact, with its fingerprint shown,
// and refused, with both fingerprints named, once its certificate is not the pinned one.
TEST_F(HostTest, LogonAsksToTrustANewServerAndRefusesAChangedCertificate) {
  hrztest::TempDir folder;
  const std::string store = folder.Path() + "/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  ASSERT_TRUE(RegisterHostResources());
  hrztest::UseConfigFolder(folder.Path() + "/config");
  std::unique_ptr<hrzsrv::Engine> engine = hrzsrv::Engine::Open(store, nullptr, &error);
  ASSERT_TRUE(engine) << error;
  auto server = hrztest::StartTlsServer(*engine, store);
  ASSERT_TRUE(server);
  const std::string location = "tcp://127.0.0.1:" + std::to_string(server->port());
  hrzsrv::TlsIdentity identity;
  ASSERT_TRUE(hrzsrv::LoadTlsIdentity(store, &identity, &error)) << error;
  const std::string fingerprint = hrzsrv::CertificateFingerprint(identity.certificatePem);

  // Logs on at location with the question answered; the dialog's result.
  auto logOn = [&](const std::string& where, int answer) {
    hrz::ScriptedAutomation automation;
    automation.AnswerNextMessageBox(answer);
    automation.OnDialog(IDD_LOGON, [](hrz::DialogDriver& logon) {
      logon.SetText(IDC_LOGON_PASSWORD, kFirstStartAdminPassword);
      logon.Click(IDOK);
      if (logon.Dialog().IsRunning()) logon.Click(IDCANCEL);
    });
    hrz::AutomationScope scope(&automation);
    LogonDialog dialog(where, "adm");
    ResourceHandleScope resources(HostInstance());
    const int result = dialog.DoModal();
    if (tagXCliDB* db = dialog.TakeConnection()) XCliDB_Close(db);
    EXPECT_EQ(automation.MessageBoxes().size(), 1u);
    return std::make_pair(result, automation.MessageBoxes().empty()
                                      ? std::string()
                                      : automation.MessageBoxes().back().text);
  };
  auto [declined, question] = logOn(location, IDNO);
  EXPECT_EQ(declined, IDCANCEL);
  EXPECT_NE(question.find(fingerprint), std::string::npos) << question;
  char offered[XCLI_FINGERPRINT_SIZE], pinned[XCLI_FINGERPRINT_SIZE];
  EXPECT_EQ(XCliDB_CheckServer(location.c_str(), offered, pinned, nullptr, 0), XCLI_SERVER_NEW)
      << "nothing is pinned when the user says no";

  EXPECT_EQ(logOn(location, IDYES).first, IDOK);
  EXPECT_EQ(XCliDB_CheckServer(location.c_str(), offered, pinned, nullptr, 0), XCLI_SERVER_TRUSTED);

  // Another key behind a location whose pin is the first server's.
  hrzsrv::ServerOptions options;
  ASSERT_TRUE(hrzsrv::MakeTlsIdentity({}, &options.tls, &error)) << error;
  auto impostor = hrzsrv::TcpServer::Start(*engine, options, &error);
  ASSERT_TRUE(impostor) << error;
  const std::string moved = "tcp://127.0.0.1:" + std::to_string(impostor->port());
  ASSERT_EQ(XCliDB_PinServer(moved.c_str(), fingerprint.c_str(), nullptr, 0), 1);
  auto [refused, warning] = logOn(moved, IDOK);
  EXPECT_EQ(refused, IDCANCEL);
  EXPECT_NE(warning.find("has changed"), std::string::npos) << warning;
  EXPECT_NE(warning.find(fingerprint), std::string::npos) << warning;
  EXPECT_NE(warning.find(hrzsrv::CertificateFingerprint(options.tls.certificatePem)),
            std::string::npos)
      << warning;
  impostor->Stop();
  server->Stop();
}

TEST(PasswordExpiry, CountsDaysAcrossMonthsAndYears) {
  EXPECT_EQ(DaysBetween(20261201, 20261210), 9);
  EXPECT_EQ(DaysBetween(20261231, 20270101), 1);
  EXPECT_EQ(DaysBetween(20240228, 20240301), 2) << "a leap year";
  EXPECT_EQ(DaysBetween(20261210, 20261201), -9);
  EXPECT_EQ(DaysBetween(20261399, 20261210), 0) << "not a date";
}

TEST(PasswordExpiry, FollowsTheMarkAndTheLifetime) {
  hrztest::App();
  hrztest::TempDir folder;
  std::string store = folder.Path() + "/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  char reason[256] = "";
  tagXCliDB* db = XCliDB_Open(store.c_str(), reason, sizeof(reason));
  ASSERT_NE(db, nullptr) << reason;
  int status = 0;
  ASSERT_TRUE(XCliDB_Logon(db, "adm", kFirstStartAdminPassword, 1, &status, nullptr, 0));
  EXPECT_FALSE(PasswordExpired(db)) << "the sample's administrator";

  int nid = XCliGetCurrentUserNID(db);
  auto set = [&](const std::string& values) {
    std::string sql = "update UUSR set " + values + " where NID = " + std::to_string(nid);
    ASSERT_TRUE(XCliDB_ExecuteSQL(db, sql.c_str(), 0, 0)) << sql;
  };
  int today = static_cast<int>(XCliDB_GetServerTimeDouble(db));
  QDate date(today / 10000, (today / 100) % 100, today % 100);
  int tenDaysAgo = date.addDays(-10).toString("yyyyMMdd").toInt();

  set("DMODIPWD = 20000101, NPWDDAYS = 0");
  EXPECT_TRUE(PasswordExpired(db)) << "marked for a change at the next logon";
  set("DMODIPWD = " + std::to_string(tenDaysAgo) + ", NPWDDAYS = 30");
  EXPECT_FALSE(PasswordExpired(db));
  set("NPWDDAYS = 10");
  EXPECT_TRUE(PasswordExpired(db)) << "the lifetime has run out today";
  set("NPWDDAYS = 0");
  EXPECT_FALSE(PasswordExpired(db)) << "no limit";
  XCliDB_Logoff(db);
  XCliDB_Close(db);
}

// The logon gate with the module linked in: an expired user changes the password through
// "XCHGEXPIREDPWD" before working, and is told why the client closes when not.
TEST_F(HostTest, ExpiredPasswordIsChangedThroughTheModuleBeforeWork) {
  hrztest::TempDir folder;
  const std::string store = folder.Path() + "/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  {
    hrztest::Connection adm = hrztest::TryLogon(store, "adm", kFirstStartAdminPassword);
    ASSERT_TRUE(adm);
    EXPECT_TRUE(
        XCliDB_ExecuteSQL(adm.get(), "update UUSR set DMODIPWD = 20000101 where NID = 309", 0, 0));
  }

  hrztest::Connection db = hrztest::TryLogon(store, "bob", "bob-pw1");
  ASSERT_TRUE(db);
  ASSERT_TRUE(PasswordExpired(db.get()));
  hrztest::ModuleHost module;  // attached; the host's own bridge initialises it
  HostBridge bridge;
  bridge.Attach(HRZCmd, db.get(), nullptr);
  MainWindow window(bridge, "bob", store);
  hrz::ScriptedAutomation& user = module.user();
  user.OnDialog(IDD_CHGPWD, [](hrz::DialogDriver& d) { d.Click(IDCANCEL); });
  user.OnDialog(IDD_CHGPWD, [](hrz::DialogDriver& d) {
    d.SetText(IDC_CHGPWD_OLD_PWD, "bob-pw1");
    d.SetText(IDC_CHGPWD_NEW_PWD, "Bob-new-2");
    d.SetText(IDC_CHGPWD_CONFIRM_PWD, "Bob-new-2");
    d.Click(IDOK);
  });

  EXPECT_FALSE(ExpiredPasswordChanged(window, db.get()));
  EXPECT_EQ(window.StatusText(), "Password not changed");
  ASSERT_EQ(user.MessageBoxes().size(), 1u);
  EXPECT_NE(user.MessageBoxes()[0].text.find("expired and was not changed"), std::string::npos);

  EXPECT_TRUE(ExpiredPasswordChanged(window, db.get()));
  EXPECT_EQ(window.StatusText(), "Password changed");
  EXPECT_EQ(user.MessageBoxes().back().text, "The password has been changed.");
  EXPECT_FALSE(PasswordExpired(db.get())) << "the server wrote the day of the change";
  EXPECT_TRUE(ExpiredPasswordChanged(window, db.get()));
  EXPECT_EQ(user.Dialogs().size(), 2u) << "no dialog once the password is new";
  XCliDB_Logoff(db.get());
  EXPECT_TRUE(hrztest::TryLogon(store, "bob", "Bob-new-2"));
}

TEST(LogonMessages, NameTheReason) {
  EXPECT_EQ(LogonFailureText(32, "pwd_try_left=2"),
            "The user code or the password is not correct. Attempts left before the lock: 2.");
  EXPECT_EQ(LogonFailureText(32, "pwd_try_left=1").find("1 more attempts"), std::string::npos);
  EXPECT_EQ(LogonFailureText(32, ""), "The user code or the password is not correct.");
  EXPECT_EQ(LogonFailureText(34, nullptr), "This account is locked after too many failed logons.");
  EXPECT_EQ(LogonFailureText(0, nullptr), "The server did not answer.");
  EXPECT_EQ(LogonFailureText(35, "the login IP list of ENG does not allow 10.0.0.1"),
            "This user may not log on from this address. (the login IP list of ENG does not "
            "allow 10.0.0.1)");
  EXPECT_EQ(LogonFailureText(36, ""), "This user may not log on from this machine.");
}

// Sets an environment variable for the scope (null removes it), then restores it.
class EnvScope {
 public:
  EnvScope(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvScope() {
    if (had_) {
      setenv(name_.c_str(), old_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

TEST(HostDisplay, ALocalDisplayCountsOnlyWhileItsServerListens) {
  EnvScope platform("QT_QPA_PLATFORM", nullptr);
  EnvScope wayland("WAYLAND_DISPLAY", nullptr);
  {
    EnvScope display("DISPLAY", nullptr);
    EXPECT_FALSE(HasDisplay());
  }
  // A stand-in server on the abstract socket an X server of display :4711 would use.
  const std::string name = "/tmp/.X11-unix/X4711";
  int server = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(server, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name.c_str(), name.size());
  socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(listen(server, 4), 0);
  {
    EnvScope display("DISPLAY", ":4711.0");
    EXPECT_TRUE(HasDisplay());
    close(server);
    EXPECT_FALSE(HasDisplay()) << "nobody listens any more";
  }
  EnvScope remote("DISPLAY", "otherhost:0");
  EXPECT_TRUE(HasDisplay()) << "a remote display is left to Qt";
  EnvScope offscreen("QT_QPA_PLATFORM", "offscreen");
  EnvScope none("DISPLAY", nullptr);
  EXPECT_TRUE(HasDisplay()) << "a platform chosen on purpose";
}

// The program itself, as the README runs it.
std::string RunHost(const std::string& environment, const std::string& arguments, int* status) {
  std::string command = environment + " LSAN_OPTIONS=suppressions=" HRZ_LSAN_SUPPRESSIONS " " +
                        HRZHOST_FILE + " " + arguments + " 2>&1";
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  std::array<char, 256> chunk;
  while (fgets(chunk.data(), chunk.size(), pipe) != nullptr) output += chunk.data();
  *status = pclose(pipe);
  return output;
}

constexpr char kNoDisplay[] = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";

TEST(HostProgram, SaysInOneLineThatItNeedsADisplayAndWhatServesWithoutOne) {
  int status = 0;
  std::string output = RunHost(kNoDisplay, "", &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  EXPECT_NE(output.find("./setup.sh run"), std::string::npos) << output;
  EXPECT_NE(output.find("--screenshot DIR"), std::string::npos) << output;
}

TEST(HostProgram, TellsItsVersionAndItsVersionNumber) {
  EXPECT_EQ(ClientVersionNumber(2, 15, 3), 21503);
  int status = 0;
  const std::string expected = "hrzhost " + std::to_string(HRZ_VERSION_MAJOR) + "." +
                               std::to_string(HRZ_VERSION_MINOR) + "." +
                               std::to_string(HRZ_VERSION_PATCH) + " (client version " +
                               std::to_string(kClientVersion) + ")\n";
  EXPECT_EQ(RunHost("env -u DISPLAY", "--version", &status), expected);
  EXPECT_EQ(status, 0);
}

// An administrator binds a user to a machine with what this prints there, before the user's
// first logon; so it must be what the client sends, on every run.
TEST(HostProgram, PrintsTheCodeThisMachineLogsOnWith) {
  char code[XCLI_MACHINE_CODE_SIZE] = {};
  ASSERT_EQ(XCliGetMachineCode(code, sizeof code), 1);
  EXPECT_EQ(std::string(code).find_first_not_of("0123456789"), std::string::npos) << code;
  EXPECT_EQ(std::strlen(code), 30u);
  for (int run = 0; run < 2; ++run) {
    int status = 0;
    EXPECT_EQ(RunHost(kNoDisplay, "--machine-code", &status), std::string(code) + "\n");
    EXPECT_EQ(status, 0);
  }
}

// Pictures are taken without a display as well.
TEST(HostProgram, LogsOnHeadlessAndSavesScreenshots) {
  hrztest::TempDir folder;
  int status = 0;
  std::string output = RunHost(std::string(kNoDisplay) + " XDG_DATA_HOME=" + folder.Path(),
                               "--screenshot " + folder.Path() + "/shots", &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("Logged on as adm"), std::string::npos) << output;
  EXPECT_TRUE(fs::exists(folder.Path() + "/hrzuser/store.db")) << "created on first start";
  EXPECT_GT(fs::file_size(folder.Path() + "/shots/logon.png"), 0u);
  EXPECT_GT(fs::file_size(folder.Path() + "/shots/mainwindow.png"), 0u);
  // The pixels of a picture; empty when it cannot be read.
  const auto pixels = [&](const std::string& name) {
    QImage picture(QString::fromStdString(folder.Path() + "/shots/" + name + ".png"));
    return std::string(reinterpret_cast<const char*>(picture.constBits()), picture.sizeInBytes());
  };
  // The user manager at work: each scene a picture of its own, unlike the one before it.
  std::string previous;
  for (const char* name : {"xusrman", "xusrman-user", "xusrman-search", "xusrman-newuser"}) {
    const std::string bytes = pixels(name);
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_NE(bytes, previous) << name;
    previous = bytes;
  }
  EXPECT_GT(fs::file_size(folder.Path() + "/shots/xroleman.png"), 0u);
  // The privilege editor at work in each mode, and a captured command's registration;
  // nothing the scenes do reaches the store.
  const std::pair<const char*, const char*> modes[] = {{"xusrfunc", "xusrfunc-alice"},
                                                       {"kqflowuser", "kqflowuser-carol"},
                                                       {"kqwfuser", "kqwfuser-bob"},
                                                       {"xprflwchk", "xprflwchk-alice"}};
  for (const auto& [opened, scene] : modes) {
    ASSERT_FALSE(pixels(scene).empty()) << scene;
    EXPECT_NE(pixels(scene), pixels(opened)) << scene;
  }
  EXPECT_FALSE(pixels("xusrfunc-141").empty()) << "the catalogue entry dialog";
  EXPECT_FALSE(pixels("addfnpvg-menu").empty()) << "the registration of a captured command";
  // The per-user endpoint column after each grant, and the dialogs that edit it.
  for (const auto& [granted, column] :
       {std::pair{"kqflowuser-carol", "kqflowuser-column"}, {"kqwfuser-bob", "kqwfuser-column"}}) {
    ASSERT_FALSE(pixels(column).empty()) << column;
    EXPECT_NE(pixels(column), pixels(granted)) << column;
  }
  EXPECT_FALSE(pixels("kqwfuser-typed").empty()) << "the outgoing-file limits dialog";
  EXPECT_FALSE(pixels("kqflowuser-text-apps").empty()) << "the free-text applications dialog";
  const std::string store = folder.Path() + "/hrzuser/store.db";
  EXPECT_EQ(hrztest::StoreRows(store, "select count(*) from UUSRFN"),
            std::vector<std::string>{"1:13|"});
  EXPECT_EQ(hrztest::StoreRows(store, "select count(*) from SRV_PRIVILEGE"),
            std::vector<std::string>{"1:5|"});
  EXPECT_EQ(hrztest::StoreRows(store,
                               "select count(*) from UUSR where CDECFLWAPPS is not null "
                               "or NWFMAXTM is not null or NWFMAXCNT is not null"),
            std::vector<std::string>{"1:0|"});
}

TEST(HostProgram, ScreenshotsOfAStoreThatCannotBeOpenedFailWithTheReason) {
  hrztest::TempDir folder;
  int status = 0;
  std::string output = RunHost(
      "env QT_QPA_PLATFORM=offscreen",
      "--store " + folder.Path() + "/none.db --screenshot " + folder.Path() + "/shots", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(output.find("cannot log on to " + folder.Path() + "/none.db"), std::string::npos)
      << output;
  EXPECT_FALSE(fs::exists(folder.Path() + "/none.db")) << "no store appears by accident";
}

// The path `./setup.sh run` takes on a machine without a display: the program on a private
// VNC display. Started as a child whose output is read as it comes.
class ServedProgram {
 public:
  ServedProgram(const std::string& tmp, std::vector<std::string> command) {
    std::vector<std::string> args = {"env",
                                     "-u",
                                     "DISPLAY",
                                     "-u",
                                     "WAYLAND_DISPLAY",
                                     "-u",
                                     "QT_QPA_PLATFORM",
                                     "TMPDIR=" + tmp,
                                     "LSAN_OPTIONS=suppressions=" HRZ_LSAN_SUPPRESSIONS,
                                     HRZ_SERVE_VNC};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawnp(&pid_, "env", &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    output_fd_ = fds[0];
  }
  ~ServedProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      Wait();
    }
    if (output_fd_ >= 0) close(output_fd_);
  }

  // Reads output until it matches pattern (true) or the program closes it (false).
  bool WaitFor(const std::regex& pattern, std::smatch* match) {
    while (!std::regex_search(output_, *match, pattern)) {
      if (!ReadSome()) return false;
    }
    return true;
  }
  void Terminate() { kill(pid_, SIGTERM); }
  // Reads the rest of the output, then the exit status; -1 when it did not exit by itself.
  int Wait() {
    while (ReadSome()) {
    }
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& Output() const { return output_; }

 private:
  bool ReadSome() {
    pollfd poll_fd{output_fd_, POLLIN, 0};
    if (output_fd_ < 0 || poll(&poll_fd, 1, 60000) <= 0) return false;
    char chunk[512];
    ssize_t got = read(output_fd_, chunk, sizeof chunk);
    if (got <= 0) return false;
    output_.append(chunk, static_cast<size_t>(got));
    return true;
  }

  pid_t pid_ = -1;
  int output_fd_ = -1;
  std::string output_;
};

// Connects to a TCP port of the loopback interface; -1 when nobody listens.
int ConnectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string Receive(int fd, size_t size) {
  std::string data(size, '\0');
  size_t got = 0;
  while (got < size) {
    ssize_t n = recv(fd, data.data() + got, size - got, 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  data.resize(got);
  return data;
}

// The local addresses (as the kernel's socket tables spell them) that listen on a TCP port.
std::set<std::string> ListeningAddresses(int port) {
  char portHex[8];
  std::snprintf(portHex, sizeof portHex, "%04X", port);
  std::set<std::string> addresses;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);  // the heading
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state;
      fields >> slot >> local >> remote >> state;
      size_t colon = local.find(':');
      if (state == "0A" && local.substr(colon + 1) == portHex)
        addresses.insert(local.substr(0, colon));
    }
  }
  return addresses;
}

// Whether the script's private folder (password, cookie) is still in tmp.
bool PrivateFolderLeft(const std::string& tmp) {
  for (const auto& entry : fs::directory_iterator(tmp)) {
    if (entry.path().filename().string().rfind("hrz-vnc.", 0) == 0) return true;
  }
  return false;
}

const std::regex kServedAt(R"(127\.0\.0\.1:(\d+) .*\n(?:.*\n)*.*password (\w+)\n)");

TEST(ServedWithoutDisplay, ListensOnLoopbackOnlyBehindAPasswordAndStopsCleanly) {
  hrztest::TempDir tmp;
  ServedProgram served(tmp.Path(), {"sleep", "120"});
  std::smatch match;
  ASSERT_TRUE(served.WaitFor(kServedAt, &match)) << served.Output();
  const int port = std::stoi(match[1]);
  EXPECT_EQ(match[2].length(), 8) << "a VNC password has eight characters";
  EXPECT_NE(served.Output().find("ssh -N -L " + std::to_string(port) +
                                 ":localhost:" + std::to_string(port)),
            std::string::npos)
      << served.Output();

  // IPv4 and IPv6 loopback, nothing else.
  std::set<std::string> addresses = ListeningAddresses(port);
  EXPECT_FALSE(addresses.empty());
  for (const std::string& address : addresses) {
    EXPECT_TRUE(address == "0100007F" || address == "00000000000000000000000001000000")
        << address << " listens beyond the loopback interface";
  }

  int viewer = ConnectLoopback(port);
  ASSERT_GE(viewer, 0);
  EXPECT_EQ(Receive(viewer, 12), "RFB 003.008\n");
  ASSERT_EQ(send(viewer, "RFB 003.008\n", 12, 0), 12);
  // One security type offered: 2, the password; never 1, none.
  EXPECT_EQ(Receive(viewer, 2), std::string("\x01\x02", 2));
  close(viewer);

  served.Terminate();
  EXPECT_EQ(served.Wait(), 143);
  EXPECT_EQ(ConnectLoopback(port), -1) << "the display outlived the script";
  EXPECT_FALSE(PrivateFolderLeft(tmp.Path())) << "the password and cookie files are left";
}

TEST(ServedWithoutDisplay, RunsTheProgramOnItsDisplayAndEndsWithIt) {
  hrztest::TempDir tmp;
  struct Case {
    std::vector<std::string> command;
    int status;
  };
  // The client connects to the display (xcb, not offscreen), logs on and saves its pictures.
  const Case cases[] = {
      {{"env", "XDG_DATA_HOME=" + tmp.Path(), HRZHOST_FILE, "--screenshot", tmp.Path() + "/shots"},
       0},
      {{"sh", "-c", "exit 3"}, 3},
  };
  for (const Case& c : cases) {
    ServedProgram served(tmp.Path(), c.command);
    std::smatch match;
    ASSERT_TRUE(served.WaitFor(kServedAt, &match)) << served.Output();
    EXPECT_EQ(served.Wait(), c.status) << served.Output();
    EXPECT_FALSE(PrivateFolderLeft(tmp.Path()));
  }
  EXPECT_GT(fs::file_size(tmp.Path() + "/shots/logon.png"), 0u);
}

}  // namespace
}  // namespace hrzhost
