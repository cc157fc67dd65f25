// The change-password commands run through HRZCmd against a fresh sample store, with the
// automation acting as the user. The host serves only the two templates below, so every
// other message is the readable "section.key" form.
#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <string>
#include <vector>

#include "automation.h"
#include "cool_dialog.h"
#include "db/db_test_support.h"
#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "extension_module.h"
#include "passwords/pwdrule.h"
#include "platform_ui.h"
#include "ui/qt_app.h"

namespace hrz {
namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x5a00);
constexpr int kOld = 1007, kNew = 1005, kConfirm = 1004;

char kCaptionTemplate[] = "Change password of %s";
char kTriesTemplate[] = " %d left.";

char* HostTexts(std::intptr_t kind, std::intptr_t, std::intptr_t section, std::intptr_t key) {
  if (kind != 1) return nullptr;
  const std::string pair = std::string(reinterpret_cast<const char*>(section)) + "/" +
                           reinterpret_cast<const char*>(key);
  if (pair == "dlg_chgpwd/dlg_cap") return kCaptionTemplate;
  if (pair == "dlg_userman/MSG_LOGON_PWD_TRY_LEFT") return kTriesTemplate;
  return nullptr;
}

struct Attempt {
  std::string oldPwd, newPwd, confirm;
};

class ChangePasswordTest : public hrztest::ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    test::App();
    ASSERT_TRUE(ModuleAttach(kInstance));
  }
  void TearDown() override {
    ModuleDetach();
    Module() = ModuleState{};
    db_.reset();
    ClientTest::TearDown();
  }

  // Logs on as code and hands the connection to the module, as the host does.
  void StartModuleAs(const char* code, const char* password) {
    db_ = LogonAs(code, password);
    void* params[3] = {kInstance, db_.get(), &lib_};
    ASSERT_EQ(HRZCmd(kCodeInitialise, nullptr, params, nullptr), 1);
  }

  bool CanLogOn(const char* code, const char* password) {
    hrztest::Connection db = Open();
    int status = 0;
    return db && XCliDB_Logon(db.get(), code, password, "260101", &status, nullptr, 0) == 1;
  }

  // One run of the dialog: each attempt fills the three edits and presses OK.
  int RunDialog(const char* command, const std::vector<Attempt>& attempts, char* out = nullptr) {
    automation_.OnDialog(101, [attempts](DialogDriver& d) {
      for (const Attempt& a : attempts) {
        d.SetText(kOld, a.oldPwd);
        d.SetText(kNew, a.newPwd);
        d.SetText(kConfirm, a.confirm);
        if (!d.Dialog().IsRunning()) return;
        d.Click(IDOK);
      }
    });
    AutomationScope scope(&automation_);
    return HRZCmd(kCodeRunCommand, command, nullptr, out);
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& box : automation_.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }

  void SetRule(int nid, const char* rule) {
    hrztest::Connection adm = LogonAs("adm", hrztest::kAdminPassword);
    const std::string sql =
        "update UUSR set CPWDRULE = '" + std::string(rule) + "' where NID = " + std::to_string(nid);
    ASSERT_TRUE(XCliDB_ExecuteSQL(adm.get(), sql.c_str(), 0, 0)) << sql;
  }

  tagHRZLib lib_{HostTexts, nullptr};
  hrztest::Connection db_;
  ScriptedAutomation automation_;
};

TEST_P(ChangePasswordTest, ChangesThePasswordOnTheServer) {
  StartModuleAs("bob", "bob-pw1");
  EXPECT_EQ(RunDialog("XCHGPWD", {{"bob-pw1", "Bob-new-2", "Bob-new-2"}}), 1);
  ASSERT_EQ(automation_.MessageBoxes().size(), 1u);
  const MessageBoxCall& done = automation_.MessageBoxes()[0];
  EXPECT_EQ(done.text, "dlg_chgpwd.change_done");
  EXPECT_EQ(done.caption, "dlg_chgpwd.mb_cap");
  EXPECT_EQ(done.type & MB_ICONMASK, MB_ICONEXCLAMATION);
  EXPECT_FALSE(CanLogOn("bob", "bob-pw1"));
  EXPECT_TRUE(CanLogOn("bob", "Bob-new-2"));
}

// Pixels of the notice colour inside the notice area of a running dialog.
int RedNoticePixels(DialogDriver& d) {
  CRect area;
  d.Dialog().GetDlgItem(1031)->GetWindowRect(&area);
  d.Dialog().ScreenToClient(&area);
  const QImage image = d.Grab();
  int red = 0;
  for (int y = area.top; y < area.bottom && y < image.height(); ++y) {
    for (int x = area.left; x < area.right && x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 120 && c.blue() < 120) ++red;
    }
  }
  return red;
}

TEST_P(ChangePasswordTest, ShowsTheUserInTheCaptionAndTheNoticeOnlyWhenExpired) {
  StartModuleAs("grace", "grace-pw1");
  std::vector<std::string> captions;
  std::vector<int> red;
  for (int run = 0; run < 2; ++run) {
    automation_.OnDialog(101, [&](DialogDriver& d) {
      captions.push_back(d.Caption());
      red.push_back(RedNoticePixels(d));
    });
  }
  AutomationScope scope(&automation_);
  HRZCmd(kCodeRunCommand, "XCHGPWD", nullptr, nullptr);
  HRZCmd(kCodeRunCommand, "XCHGEXPIREDPWD", nullptr, nullptr);
  ASSERT_EQ(red.size(), 2u);
  EXPECT_EQ(captions,
            (std::vector<std::string>{"Change password of grace", "Change password of grace"}));
  EXPECT_EQ(red[0], 0) << "no notice for a plain change";
  EXPECT_GT(red[1], 20) << "the expiry notice is painted in red";
}

TEST_P(ChangePasswordTest, WrongOldPasswordCountsDownThenLocks) {
  StartModuleAs("bob", "bob-pw1");
  const Attempt wrong{"not-bobs", "Bob-new-2", "Bob-new-2"};
  RunDialog("XCHGPWD", {wrong, wrong, wrong, wrong, wrong, wrong});
  const std::string wrongText = "dlg_userman.MSG_LOGON_WRONG_PWD";
  const std::vector<std::string> expected = {
      wrongText + " 4 left.", wrongText + " 3 left.",        wrongText + " 2 left.",
      wrongText + " 1 left.", "dlg_lock_system.user locked", "dlg_lock_system.user locked"};
  EXPECT_EQ(Messages(), expected);
  EXPECT_FALSE(CanLogOn("bob", "bob-pw1")) << "the account is locked now";
}

TEST_P(ChangePasswordTest, LockedAdministratorGetsItsOwnMessage) {
  StartModuleAs("adm", hrztest::kAdminPassword);
  const Attempt wrong{"not-adms", "x", "x"};
  RunDialog("XCHGPWD", {wrong, wrong, wrong, wrong, wrong, wrong});
  ASSERT_EQ(Messages().size(), 6u);
  EXPECT_EQ(Messages().back(), "dlg_lock_system.adm locked");
}

TEST_P(ChangePasswordTest, RefusesBadNewPasswordsAndKeepsTheOldOne) {
  StartModuleAs("bob", "bob-pw1");
  std::string wide;
  for (int i = 0; i < 16; ++i) wide += "\xc3\xa9";  // 16 characters, 32 bytes
  RunDialog("XCHGPWD", {
                           {"bob-pw1", "Bob-new-2", "bob-new-2"},
                           {"wrong", "Bob-new-2", "bob-new-2"},
                           {"bob-pw1", wide, wide},
                       });
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "dlg_chgpwd.re pwd not same",
                            "dlg_userman.MSG_LOGON_WRONG_PWD 4 left.",
                            "dlg_chgpwd.overflow pwd",
                        }));
  EXPECT_TRUE(CanLogOn("bob", "bob-pw1"));
}

TEST_P(ChangePasswordTest, NewPasswordEditsTakeSixteenCharacters) {
  StartModuleAs("bob", "bob-pw1");
  const std::string seventeen = "Abcdefghijklmnop7";
  RunDialog("XCHGPWD", {{"bob-pw1", seventeen, seventeen}});
  EXPECT_EQ(Messages(), std::vector<std::string>{"Enter no more than 16 characters."});
  EXPECT_FALSE(CanLogOn("bob", seventeen.c_str()));
  EXPECT_TRUE(CanLogOn("bob", "bob-pw1"));
}

TEST_P(ChangePasswordTest, EmptyPasswordIsAskedForThenCheckedAgainstTheRule) {
  SetRule(11, "L6");
  StartModuleAs("bob", "bob-pw1");
  automation_.AnswerNextMessageBox(IDCANCEL);
  automation_.AnswerNextMessageBox(IDOK);
  RunDialog("XCHGPWD", {{"bob-pw1", "", ""}, {"bob-pw1", "", ""}});
  const auto& boxes = automation_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "dlg_chgpwd.empty pwd");
  EXPECT_EQ(boxes[0].type & MB_TYPEMASK, MB_OKCANCEL);
  EXPECT_EQ(boxes[1].text, "dlg_chgpwd.empty pwd") << "Cancel stopped the first try";
  EXPECT_EQ(boxes[2].text, "dlg_chgpwd.pwd not rule\r\n  dlg_chgpwd.pwd min len: 6");
  EXPECT_TRUE(CanLogOn("bob", "bob-pw1"));
}

TEST_P(ChangePasswordTest, EmptyPasswordIsSetWhenNoRuleForbidsIt) {
  StartModuleAs("grace", "grace-pw1");
  automation_.AnswerNextMessageBox(IDOK);
  RunDialog("XCHGPWD", {{"grace-pw1", "", ""}});
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"dlg_chgpwd.empty pwd", "dlg_chgpwd.change_done"}));
  EXPECT_TRUE(CanLogOn("grace", ""));
}

TEST_P(ChangePasswordTest, ChecksAgainstTheLoggedInUsersRule) {
  SetRule(11, "  L8CN@\t");
  StartModuleAs("bob", "bob-pw1");
  struct Case {
    const char* password;
    int accepted;
  };
  const Case cases[] = {
      {"Abcdefg1!", 1}, {"abcdefg1!", 0}, {"Abcdefgh!", 0},
      {"Abcdefg12", 0}, {"Ab1!", 0},      {"Abcdefg1\\", 1},
  };
  AutomationScope scope(&automation_);
  const std::string whole =
      "dlg_chgpwd.pwd not rule\r\n  dlg_chgpwd.pwd min len: 8\r\n  dlg_chgpwd.pwd inc caps"
      "\r\n  dlg_chgpwd.pwd inc num\r\n  dlg_chgpwd.pwd inc spec";
  for (const Case& c : cases) {
    const std::size_t before = automation_.MessageBoxes().size();
    EXPECT_EQ(CheckPwdAgainstUserRule(nullptr, c.password), c.accepted) << c.password;
    if (c.accepted) {
      EXPECT_EQ(automation_.MessageBoxes().size(), before) << c.password;
    } else {
      ASSERT_EQ(automation_.MessageBoxes().size(), before + 1) << c.password;
      EXPECT_EQ(automation_.MessageBoxes().back().text, whole) << c.password;
      EXPECT_EQ(automation_.MessageBoxes().back().caption, "dlg_chgpwd.mb_cap");
    }
  }
}

TEST_P(ChangePasswordTest, NoLoggedInUserMeansNoRuleToMeet) {
  db_ = Open();
  void* params[3] = {kInstance, db_.get(), nullptr};
  HRZCmd(kCodeInitialise, nullptr, params, nullptr);
  AutomationScope scope(&automation_);
  EXPECT_EQ(CheckPwdAgainstUserRule(nullptr, "Anything1!"), 0);
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_chgpwd.pwd not rule"});
}

TEST_P(ChangePasswordTest, ExpiredCommandWritesOkOnlyAfterAChange) {
  StartModuleAs("bob", "bob-pw1");
  char out[16] = "stale";
  EXPECT_EQ(RunDialog("XCHGEXPIREDPWD", {}, out), 1);
  EXPECT_STREQ(out, "") << "closed without a change";

  EXPECT_EQ(RunDialog("XCHGEXPIREDPWD", {{"bob-pw1", "Bob-new-2", "Bob-new-2"}}, out), 1);
  EXPECT_STREQ(out, "OK");

  EXPECT_EQ(RunDialog("XCHGEXPIREDPWD", {{"Bob-new-2", "Bob-new-3", "Bob-new-3"}}, nullptr), 1);
  EXPECT_TRUE(CanLogOn("bob", "Bob-new-3")) << "a null buffer still runs the change";
}

INSTANTIATE_TEST_SUITE_P(Store, ChangePasswordTest,
                         ::testing::Values(hrztest::Via::kEmbedded, hrztest::Via::kTcp),
                         hrztest::ViaName);

TEST(PwdRuleCheck, ShowsTheWholeRuleWhenAPasswordFails) {
  test::App();
  Module() = ModuleState{};
  ScriptedAutomation automation;
  AutomationScope scope(&automation);
  EXPECT_EQ(CheckPwdRule(nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(CheckPwdRule(nullptr, "", "   "), 1);
  EXPECT_EQ(CheckPwdRule(nullptr, "ab cd", "@"), 0);
  EXPECT_EQ(CheckPwdRule(nullptr, nullptr, "L1"), 0);
  ASSERT_EQ(automation.MessageBoxes().size(), 2u);
  EXPECT_EQ(automation.MessageBoxes()[0].text,
            "dlg_chgpwd.pwd not rule\r\n  dlg_chgpwd.pwd min len: dlg_chgpwd.no limit"
            "\r\n  dlg_chgpwd.pwd inc spec");
  EXPECT_EQ(automation.MessageBoxes()[1].type, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace
}  // namespace hrz
