// The change-password commands run through HRZCmd against a fresh sample store (embedded
// and over TCP) or a scripted server, with the automation acting as the user. The host serves only
// the two templates below, so every other message is the readable "section.key" form.
#include <gtest/gtest.h>

#include <QImage>

#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "automation.h"
#include "cool_dialog.h"
#include "hrzcommon/wire.h"
#include "passwords/pwdrule.h"
#include "platform_ui.h"
#include "resources/dialogs/chgpwd_ids.h"
#include "support/fake_server.h"
#include "support/module_host.h"
#include "support/stores.h"

namespace hrz {
namespace {

const std::map<std::string, std::string> kHostTexts = {
    {"dlg_chgpwd/dlg_cap", "Change password of %s"},
    {"dlg_userman/MSG_LOGON_PWD_TRY_LEFT", " %d left."},
};

struct Attempt {
  std::string oldPwd, newPwd, confirm;
};

// Each attempt fills the three edits and presses OK while the dialog stays open.
void TypeAttempts(ScriptedAutomation& user, const std::vector<Attempt>& attempts) {
  user.OnDialog(IDD_CHGPWD, [attempts](DialogDriver& d) {
    for (const Attempt& a : attempts) {
      d.SetText(IDC_CHGPWD_OLD_PWD, a.oldPwd);
      d.SetText(IDC_CHGPWD_NEW_PWD, a.newPwd);
      d.SetText(IDC_CHGPWD_CONFIRM_PWD, a.confirm);
      if (!d.Dialog().IsRunning()) return;
      d.Click(IDOK);
    }
  });
}

class ChangePasswordTest : public hrztest::ClientTest {
 protected:
  void TearDown() override {
    db_.reset();
    ClientTest::TearDown();
  }

  // Logs on as code and hands the connection to the module, as the host does.
  void StartModuleAs(const char* code, const char* password) {
    db_ = LogonAs(code, password);
    ASSERT_EQ(module_.Initialise(db_.get()), 1);
  }

  bool CanLogOn(const char* code, const char* password) {
    return hrztest::TryLogon(location_, code, password) != nullptr;
  }

  // One run of the dialog with the given attempts.
  int RunDialog(const char* command, const std::vector<Attempt>& attempts, char* out = nullptr) {
    TypeAttempts(module_.user(), attempts);
    return module_.Run(command, out);
  }

  std::vector<std::string> Messages() const { return module_.MessageTexts(); }

  // As the administrator: "update UUSR set <values> where NID = <nid>".
  void UpdateUser(int nid, const std::string& values) {
    hrztest::Connection adm = LogonAs("adm", hrztest::kAdminPassword);
    const std::string sql = "update UUSR set " + values + " where NID = " + std::to_string(nid);
    ASSERT_TRUE(XCliDB_ExecuteSQL(adm.get(), sql.c_str(), 0, 0)) << sql;
  }

  hrztest::ModuleHost module_{kHostTexts};
  hrztest::Connection db_;
};

TEST_P(ChangePasswordTest, ChangesThePasswordOnTheServer) {
  UpdateUser(309, "DMODIPWD = 20000101");
  StartModuleAs("bob", "bob-pw1");
  EXPECT_EQ(RunDialog("XCHGPWD", {{"bob-pw1", "Bob-new-2", "Bob-new-2"}}), 1);
  ASSERT_EQ(module_.user().MessageBoxes().size(), 1u);
  const MessageBoxCall& done = module_.user().MessageBoxes()[0];
  EXPECT_EQ(done.text, "dlg_chgpwd.change_done");
  EXPECT_EQ(done.caption, "dlg_chgpwd.mb_cap");
  EXPECT_EQ(done.type & MB_ICONMASK, MB_ICONEXCLAMATION);
  EXPECT_FALSE(CanLogOn("bob", "bob-pw1"));
  EXPECT_TRUE(CanLogOn("bob", "Bob-new-2"));
  hrztest::Connection adm = LogonAs("adm", hrztest::kAdminPassword);
  const int today = static_cast<int>(XCliDB_GetServerTimeDouble(adm.get()));
  EXPECT_EQ(std::stoi(hrztest::QueryText(adm.get(), "select DMODIPWD from UUSR where NID = 309")),
            today)
      << "the server keeps the day of the change";
}

// Pixels of the notice colour inside the notice area of a running dialog.
int RedNoticePixels(DialogDriver& d) {
  CRect area;
  d.Dialog().GetDlgItem(IDC_CHGPWD_NOTICE_AREA)->GetWindowRect(&area);
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

TEST_P(ChangePasswordTest, ShowsItsTextsAndTheNoticeOnlyWhenExpired) {
  StartModuleAs("grace", "grace-pw1");
  std::vector<std::string> captions;
  std::vector<int> red;
  for (int run = 0; run < 2; ++run) {
    module_.user().OnDialog(IDD_CHGPWD, [&](DialogDriver& d) {
      captions.push_back(d.Caption());
      red.push_back(RedNoticePixels(d));
      EXPECT_EQ(d.Text(IDC_CHGPWD_OLD_PWD_LABEL), "dlg_chgpwd.lbl_old_pwd");
      EXPECT_EQ(d.Text(IDC_CHGPWD_NEW_PWD_LABEL), "dlg_chgpwd.lbl_new_pwd");
      EXPECT_EQ(d.Text(IDC_CHGPWD_CONFIRM_PWD_LABEL), "dlg_chgpwd.lbl_re_pwd");
      EXPECT_EQ(d.Text(IDOK), "dlg_chgpwd.btn_ok");
      EXPECT_EQ(d.Text(IDCANCEL), "dlg_chgpwd.btn_close");
    });
  }
  module_.Run("XCHGPWD");
  module_.Run("XCHGEXPIREDPWD");
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
  RunDialog("XCHGPWD", {
                           {"bob-pw1", "Bob-new-2", "bob-new-2"},
                           {"wrong", "Bob-new-2", "bob-new-2"},
                           {"bob-pw1", "Bob-new-2", "Bob-new-2 "},
                       });
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "dlg_chgpwd.re pwd not same",
                            "dlg_userman.MSG_LOGON_WRONG_PWD 4 left.",
                            "dlg_chgpwd.re pwd not same",
                        }));
  hrztest::Connection adm = LogonAs("adm", hrztest::kAdminPassword);
  EXPECT_EQ(hrztest::QueryText(adm.get(), "select NTRYLGN from UUSR where NID = 309"), "")
      << "the correct old password of the last try cleared the failure count";
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

TEST_P(ChangePasswordTest, APastedPasswordKeepsTheCharactersThatFit) {
  StartModuleAs("bob", "bob-pw1");
  module_.user().OnDialog(IDD_CHGPWD, [](DialogDriver& d) {
    d.SetText(IDC_CHGPWD_OLD_PWD, "bob-pw1");
    EXPECT_TRUE(d.Paste(IDC_CHGPWD_NEW_PWD, "Abcdefghijklmnop-and-more"));
    EXPECT_TRUE(d.Paste(IDC_CHGPWD_CONFIRM_PWD, "Abcdefghijklmnop-and-more"));
    EXPECT_EQ(d.Text(IDC_CHGPWD_NEW_PWD), "Abcdefghijklmnop");
    d.Click(IDOK);
  });
  module_.Run("XCHGPWD");
  EXPECT_EQ(Messages(), std::vector<std::string>{"dlg_chgpwd.change_done"})
      << "never the question for an empty password";
  EXPECT_TRUE(CanLogOn("bob", "Abcdefghijklmnop"));
}

std::string Repeated(const char* character, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += character;
  return text;
}

const char* const kTwoByteLetter = "\xc3\xa9";           // e with an acute accent
const char* const kFourByteLetter = "\xf0\x9d\x84\x9e";  // a musical clef, outside the BMP

TEST_P(ChangePasswordTest, LengthsCountCharactersNotBytes) {
  UpdateUser(309, "CPWDRULE = 'L8'");
  StartModuleAs("bob", "bob-pw1");
  const std::string five = Repeated(kTwoByteLetter, 5);
  const std::string seventeen = Repeated(kTwoByteLetter, 17);
  const std::string sixteen = Repeated(kTwoByteLetter, 16);
  EXPECT_EQ(RunDialog("XCHGPWD", {{"bob-pw1", five, five},
                                  {"bob-pw1", seventeen, seventeen},
                                  {"bob-pw1", sixteen, sixteen}}),
            1);
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "dlg_chgpwd.pwd not rule\r\n  dlg_chgpwd.pwd min len: 8",
                            "Enter no more than 16 characters.",
                            "dlg_chgpwd.change_done",
                        }));
  EXPECT_TRUE(CanLogOn("bob", sixteen.c_str()));

  const std::string wide = Repeated(kFourByteLetter, 16);
  RunDialog("XCHGPWD", {{sixteen, wide, wide}});
  EXPECT_EQ(Messages().back(), "dlg_chgpwd.change_done");
  EXPECT_TRUE(CanLogOn("bob", wide.c_str())) << "16 characters of four bytes each";
}

// The old password may have 127 characters, but no more bytes than its sealed form holds
// (XCLI_PASSWORD_MAX_BYTES); a longer one is refused before it is sent and counted.
TEST_P(ChangePasswordTest, OldPasswordTooLongToSealIsRefusedBeforeSending) {
  StartModuleAs("bob", "bob-pw1");
  const std::string fits = "a" + Repeated(kTwoByteLetter, 63);
  const std::string tooLong = Repeated(kTwoByteLetter, 64);
  ASSERT_EQ(fits.size(), static_cast<std::size_t>(XCLI_PASSWORD_MAX_BYTES));
  RunDialog("XCHGPWD", {{fits, "Bob-new-2", "Bob-new-2"}, {tooLong, "Bob-new-2", "Bob-new-2"}});
  EXPECT_EQ(Messages(), (std::vector<std::string>{
                            "dlg_userman.MSG_LOGON_WRONG_PWD 4 left.",
                            "dlg_chgpwd.old pwd too long",
                        }));
  hrztest::Connection adm = LogonAs("adm", hrztest::kAdminPassword);
  EXPECT_EQ(hrztest::QueryText(adm.get(), "select NTRYLGN from UUSR where NID = 309"), "1")
      << "only the password that was sent counts as a failed try";
}

TEST_P(ChangePasswordTest, EmptyPasswordIsAskedForThenCheckedAgainstTheRule) {
  UpdateUser(309, "CPWDRULE = 'L6'");
  StartModuleAs("bob", "bob-pw1");
  module_.user().AnswerNextMessageBox(IDCANCEL);
  module_.user().AnswerNextMessageBox(IDOK);
  RunDialog("XCHGPWD", {{"bob-pw1", "", ""}, {"bob-pw1", "", ""}});
  const auto& boxes = module_.user().MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "dlg_chgpwd.empty pwd");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION));
  EXPECT_EQ(boxes[1].text, "dlg_chgpwd.empty pwd") << "Cancel stopped the first try";
  EXPECT_EQ(boxes[2].text, "dlg_chgpwd.pwd not rule\r\n  dlg_chgpwd.pwd min len: 6");
  EXPECT_TRUE(CanLogOn("bob", "bob-pw1"));
}

TEST_P(ChangePasswordTest, EmptyPasswordIsSetWhenNoRuleForbidsIt) {
  StartModuleAs("grace", "grace-pw1");
  module_.user().AnswerNextMessageBox(IDOK);
  RunDialog("XCHGPWD", {{"grace-pw1", "", ""}});
  EXPECT_EQ(Messages(),
            (std::vector<std::string>{"dlg_chgpwd.empty pwd", "dlg_chgpwd.change_done"}));
  EXPECT_TRUE(CanLogOn("grace", ""));
}

TEST_P(ChangePasswordTest, ChecksAgainstTheLoggedInUsersRule) {
  UpdateUser(309, "CPWDRULE = '  L8CN@\t'");
  StartModuleAs("bob", "bob-pw1");
  struct Case {
    const char* password;
    int accepted;
  };
  const Case cases[] = {
      {"Abcdefg1!", 1}, {"abcdefg1!", 0}, {"Abcdefgh!", 0},
      {"Abcdefg12", 0}, {"Ab1!", 0},      {"Abcdefg1\\", 1},
  };
  const std::string whole =
      "dlg_chgpwd.pwd not rule\r\n  dlg_chgpwd.pwd min len: 8\r\n  dlg_chgpwd.pwd inc caps"
      "\r\n  dlg_chgpwd.pwd inc num\r\n  dlg_chgpwd.pwd inc spec";
  for (const Case& c : cases) {
    const std::size_t before = module_.user().MessageBoxes().size();
    EXPECT_EQ(CheckPwdAgainstUserRule(nullptr, c.password), c.accepted) << c.password;
    if (c.accepted) {
      EXPECT_EQ(module_.user().MessageBoxes().size(), before) << c.password;
    } else {
      ASSERT_EQ(module_.user().MessageBoxes().size(), before + 1) << c.password;
      EXPECT_EQ(module_.user().MessageBoxes().back().text, whole) << c.password;
      EXPECT_EQ(module_.user().MessageBoxes().back().caption, "dlg_chgpwd.mb_cap");
    }
  }
}

TEST_P(ChangePasswordTest, NoLoggedInUserMeansNoRuleToMeet) {
  db_ = Open();
  module_.Initialise(db_.get(), /*withHostRecord=*/false);
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

// The same dialog against a scripted server, for the replies a sample store does not give.
class ChangePasswordRepliesTest : public ::testing::Test {
 protected:
  // One run with OK pressed once; the server answers verify and set as given.
  std::vector<std::string> Run(const char* code, hrztest::FakeAnswer verify,
                               hrztest::FakeAnswer set, char* out = nullptr) {
    module_.reset();
    db_.reset();
    server_ = std::make_unique<hrztest::FakeServer>(
        [verify, set](const hrztest::Frame& frame) {
          if (frame.cls() == 5 && frame.group() == 2 && frame.code() == 30) return verify;
          if (frame.cls() == 5 && frame.group() == 1 && frame.code() == 1) return set;
          if (frame.cls() == 3 && frame.group() == 1 && frame.code() == 1) return EmptyRuleRow();
          return Reply(0);
        },
        code);
    db_ = hrztest::TryLogon(server_->location(), code, "pw");
    EXPECT_TRUE(db_);
    module_ = std::make_unique<hrztest::ModuleHost>(kHostTexts);
    module_->Initialise(db_.get());
    TypeAttempts(module_->user(), {{"old-pw", "New-pw-1", "New-pw-1"}});
    module_->Run("XCHGEXPIREDPWD", out);
    return module_->MessageTexts();
  }

  static hrztest::FakeAnswer Reply(std::uint8_t status, const std::string& text = "") {
    hrztest::FakeAnswer answer;
    answer.status = status;
    if (!text.empty()) answer.body = hrztest::Fields({hrztest::Text(text)});
    return answer;
  }

  // The answer to the rule query: one column, one row with an empty rule.
  static hrztest::FakeAnswer EmptyRuleRow() {
    std::string result;
    auto u32 = [&result](std::uint32_t value) {
      for (int i = 0; i < 4; ++i) result.push_back(static_cast<char>(value >> (8 * i)));
    };
    u32(1);
    u32(8);
    result += "CPWDRULE";
    u32(1);
    result.push_back(3);  // a text cell
    u32(0);
    hrz::wire::BodyWriter body;
    body.PutLong(result);
    hrztest::FakeAnswer answer = Reply(1);
    answer.body = body.Finish();
    return answer;
  }

  std::unique_ptr<hrztest::FakeServer> server_;
  hrztest::Connection db_;
  std::unique_ptr<hrztest::ModuleHost> module_;
};

TEST_F(ChangePasswordRepliesTest, ExplainsEachRefusal) {
  using hrztest::FakeAnswer;
  struct Case {
    const char* code;
    FakeAnswer verify, set;
    const char* message;
  };
  const std::string wrong = "dlg_userman.MSG_LOGON_WRONG_PWD";
  const Case cases[] = {
      {"ADM", Reply(34), Reply(1), "dlg_lock_system.adm locked"},
      {"bob", Reply(34), Reply(1), "dlg_lock_system.user locked"},
      {"bob", Reply(32, "a=1| pwd_try_left =  3 |b=2"), Reply(1), " 3 left."},
      {"bob", Reply(32, "pwd_try_left=0"), Reply(1), ""},
      {"bob", Reply(32, "pwd_try_left=abc"), Reply(1), ""},
      {"bob", Reply(32), Reply(1), "dlg_lock_system.pwd incorrect"},
      {"bob", Reply(33, "pwd_try_left=2"), Reply(1), "dlg_lock_system.pwd incorrect"},
      {"bob", FakeAnswer::Drop(), Reply(1), "dlg_lock_system.pwd incorrect"},
      {"bob", Reply(31), Reply(3), "dlg_chgpwd.no_right"},
      {"bob", Reply(31), Reply(2), "dlg_chgpwd.change_fail"},
      {"bob", Reply(31), FakeAnswer::Drop(), "dlg_chgpwd.change_fail"},
  };
  for (const Case& c : cases) {
    char out[8] = "stale";
    const std::vector<std::string> messages = Run(c.code, c.verify, c.set, out);
    const std::string expected =
        std::string(c.message).rfind("dlg_", 0) == 0 ? c.message : wrong + c.message;
    EXPECT_EQ(messages, std::vector<std::string>{expected}) << c.code << " " << c.message;
    EXPECT_STREQ(out, "") << c.message;
  }
}

TEST_F(ChangePasswordRepliesTest, SetsTheNewPasswordForTheLoggedInUser) {
  char out[8] = "";
  EXPECT_EQ(Run("bob", Reply(31), Reply(1), out),
            std::vector<std::string>{"dlg_chgpwd.change_done"});
  EXPECT_STREQ(out, "OK");
  std::vector<hrztest::Frame> frames;
  for (const hrztest::Frame& frame : server_->Received()) {
    if (frame.cls() == 5) frames.push_back(frame);
  }
  ASSERT_EQ(frames.size(), 2u);
  std::string plain;
  hrz::wire::BodyReader verify(frames[0].body);
  std::span<const std::uint8_t> field;
  ASSERT_TRUE(verify.Next(&field));
  EXPECT_EQ(std::string(field.begin(), field.end()), "bob");
  ASSERT_TRUE(verify.Next(&field));
  ASSERT_TRUE(server_->OpenSealed({field.begin(), field.end()}, &plain));
  EXPECT_EQ(plain, "old-pw");
  hrz::wire::BodyReader set(frames[1].body);
  ASSERT_TRUE(set.Next(&field));
  EXPECT_TRUE(field.empty()) << "an empty code names the logged-in user";
  ASSERT_TRUE(set.Next(&field));
  ASSERT_TRUE(server_->OpenSealed({field.begin(), field.end()}, &plain));
  EXPECT_EQ(plain, "New-pw-1");
  std::vector<std::string> queries;
  for (const hrztest::Frame& frame : server_->Received()) {
    std::string sql;
    hrz::wire::BodyReader reader(frame.body);
    if (frame.cls() == 3 && reader.NextLong(&sql, 1024)) queries.push_back(sql);
  }
  EXPECT_EQ(queries, std::vector<std::string>{"select CPWDRULE from UUSR where NID = " +
                                              std::to_string(XCliGetCurrentUserNID(db_.get()))});
}

TEST(PwdRuleCheck, ShowsTheWholeRuleWhenAPasswordFails) {
  hrztest::ModuleHost module;
  const ScriptedAutomation& automation = module.user();
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
