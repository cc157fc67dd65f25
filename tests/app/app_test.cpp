#include <gtest/gtest.h>

#include <QAction>
#include <QDate>
#include <QMenuBar>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "automation.h"
#include "db/db_test_support.h"
#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "extension_module.h"
#include "host_bridge.h"
#include "host_resources.h"
#include "hrzserver/tls_identity.h"
#include "logon_dialog.h"
#include "main_window.h"
#include "options.h"
#include "password_expiry.h"
#include "platform_ui.h"
#include "plugin_module.h"
#include "qt_handle.h"
#include "store_location.h"
#include "ui/qt_app.h"
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

int RecordingEntry(int code, const char* command, void** params, char* out) {
  g_calls.push_back({code, command != nullptr ? command : "", params, out != nullptr ? out : ""});
  if (out != nullptr && code == 20) std::strncpy(out, "OK", 3);
  return 7;
}

const HostCommand& Command(const char* name) {
  const HostCommand* command = FindHostCommand(name);
  if (command == nullptr) throw std::runtime_error(name);
  return *command;
}

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/hrzhost_test_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempFolder() { fs::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hrz::test::App();
    g_calls.clear();
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
       {"dlg_cap",         "btn_ok",          "btn_close",    "btn_cancel",   "lbl_old_pwd",
        "lbl_new_pwd",     "lbl_re_pwd",      "pwd expired",  "empty pwd",    "overflow pwd",
        "re pwd not same", "change_done",     "change_fail",  "no_right",     "invalid pwd",
        "pwd not rule",    "pwd min len",     "no limit",     "pwd inc caps", "pwd inc num",
        "pwd inc spec",    "dlg_cap_pwdrule", "pwd chg days", "pwd days err", "lgn chg pwd",
        "rule new user",   "rule old user",   "mb_cap"}},
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

  HostBridge::Outcome module = bridge.Run(Command("XSELUSER"), runAbout);
  ASSERT_EQ(g_calls.size(), 3u);
  EXPECT_EQ(g_calls[2].command, "XSELUSER");
  EXPECT_EQ(g_calls[2].out, "") << "a module command starts with an empty buffer";
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

TEST_F(HostTest, MainWindowListsTheTwelveCommandsAndShowsResults) {
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
  EXPECT_EQ(names, (std::vector<std::string>{"XCHGPWD", "XCHGEXPIREDPWD", "XUSRMAN", "XROLEMAN",
                                             "XUSERS_STAT", "XUSRFUNC", "KQFLOWUSER", "KQWFUSER",
                                             "XPRFLWCHK", "XUSRINFO", "XSELUSER", "XVIEWSIGN"}));
  admin->actions()[10]->trigger();
  EXPECT_EQ(window.StatusText(), "XSELUSER: NID 7");
  admin->actions()[1]->trigger();
  EXPECT_EQ(window.StatusText(), "Password changed");
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
  TempFolder folder;
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
  XCliDB_Logoff(db);
  XCliDB_Close(db);
}

// A TLS server is trusted on the user's word at first contact, with its fingerprint shown,
// and refused, with both fingerprints named, once its certificate is not the pinned one.
TEST_F(HostTest, LogonAsksToTrustANewServerAndRefusesAChangedCertificate) {
  TempFolder folder;
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
  hrz::test::App();
  TempFolder folder;
  std::string store = folder.Path() + "/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  char reason[256] = "";
  tagXCliDB* db = XCliDB_Open(store.c_str(), reason, sizeof(reason));
  ASSERT_NE(db, nullptr) << reason;
  int status = 0;
  ASSERT_TRUE(XCliDB_Logon(db, "adm", kFirstStartAdminPassword, "test", &status, nullptr, 0));
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
  TempFolder folder;
  const std::string store = folder.Path() + "/store.db";
  std::string error;
  ASSERT_TRUE(EnsureStore(store, &error)) << error;
  auto logon = [&store](const char* code, const char* password) -> tagXCliDB* {
    char reason[256] = "";
    tagXCliDB* db = XCliDB_Open(store.c_str(), reason, sizeof(reason));
    int status = 0;
    if (db != nullptr && XCliDB_Logon(db, code, password, "test", &status, nullptr, 0)) return db;
    if (db != nullptr) XCliDB_Close(db);
    return nullptr;
  };
  tagXCliDB* adm = logon("adm", kFirstStartAdminPassword);
  ASSERT_NE(adm, nullptr);
  EXPECT_TRUE(XCliDB_ExecuteSQL(adm, "update UUSR set DMODIPWD = 20000101 where NID = 11", 0, 0));
  XCliDB_Logoff(adm);
  XCliDB_Close(adm);

  tagXCliDB* db = logon("bob", "bob-pw1");
  ASSERT_NE(db, nullptr);
  ASSERT_TRUE(PasswordExpired(db));
  hrz::Module() = hrz::ModuleState{};
  ASSERT_TRUE(hrz::ModuleAttach(reinterpret_cast<HINSTANCE>(0x7a00)));
  HostBridge bridge;
  bridge.Attach(HRZCmd, db, nullptr);
  MainWindow window(bridge, "bob", store);
  automation_.OnDialog(101, [](hrz::DialogDriver& d) { d.Click(IDCANCEL); });
  automation_.OnDialog(101, [](hrz::DialogDriver& d) {
    d.SetText(1007, "bob-pw1");
    d.SetText(1005, "Bob-new-2");
    d.SetText(1004, "Bob-new-2");
    d.Click(IDOK);
  });
  hrz::AutomationScope scope(&automation_);

  EXPECT_FALSE(ExpiredPasswordChanged(window, db));
  EXPECT_EQ(window.StatusText(), "Password not changed");
  ASSERT_EQ(automation_.MessageBoxes().size(), 1u);
  EXPECT_NE(automation_.MessageBoxes()[0].text.find("expired and was not changed"),
            std::string::npos);

  EXPECT_TRUE(ExpiredPasswordChanged(window, db));
  EXPECT_EQ(window.StatusText(), "Password changed");
  EXPECT_EQ(automation_.MessageBoxes().back().text, "The password has been changed.");
  EXPECT_FALSE(PasswordExpired(db)) << "the server wrote the day of the change";
  EXPECT_TRUE(ExpiredPasswordChanged(window, db));
  EXPECT_EQ(automation_.Dialogs().size(), 2u) << "no dialog once the password is new";

  hrz::ModuleDetach();
  hrz::Module() = hrz::ModuleState{};
  XCliDB_Logoff(db);
  XCliDB_Close(db);
  tagXCliDB* again = logon("bob", "Bob-new-2");
  EXPECT_NE(again, nullptr);
  if (again != nullptr) XCliDB_Close(again);
}

TEST(LogonMessages, NameTheReason) {
  EXPECT_EQ(LogonFailureText(32, "pwd_try_left=2"),
            "The user code or the password is not correct. 2 more attempts before the lock.");
  EXPECT_EQ(LogonFailureText(32, ""), "The user code or the password is not correct.");
  EXPECT_EQ(LogonFailureText(34, nullptr), "This account is locked after too many failed logons.");
  EXPECT_EQ(LogonFailureText(0, nullptr), "The server did not answer.");
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

TEST(HostProgram, SaysInOneLineThatItNeedsADisplay) {
  int status = 0;
  std::string output = RunHost("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "", &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  EXPECT_NE(output.find("xvfb-run"), std::string::npos) << output;
}

TEST(HostProgram, LogsOnHeadlessAndSavesScreenshots) {
  TempFolder folder;
  int status = 0;
  std::string output = RunHost("env QT_QPA_PLATFORM=offscreen XDG_DATA_HOME=" + folder.Path(),
                               "--screenshot " + folder.Path() + "/shots", &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("Logged on as adm"), std::string::npos) << output;
  EXPECT_TRUE(fs::exists(folder.Path() + "/hrzuser/store.db")) << "created on first start";
  EXPECT_GT(fs::file_size(folder.Path() + "/shots/logon.png"), 0u);
  EXPECT_GT(fs::file_size(folder.Path() + "/shots/mainwindow.png"), 0u);
}

TEST(HostProgram, ScreenshotsOfAStoreThatCannotBeOpenedFailWithTheReason) {
  TempFolder folder;
  int status = 0;
  std::string output = RunHost(
      "env QT_QPA_PLATFORM=offscreen",
      "--store " + folder.Path() + "/none.db --screenshot " + folder.Path() + "/shots", &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(output.find("cannot log on to " + folder.Path() + "/none.db"), std::string::npos)
      << output;
  EXPECT_FALSE(fs::exists(folder.Path() + "/none.db")) << "no store appears by accident";
}

}  // namespace
}  // namespace hrzhost
