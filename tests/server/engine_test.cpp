// The engine's dispatch, passwords, lockout, privileges, settings and files, driven a frame
// at a time with a clock the test sets.
#include <sqlite3.h>

#include <fstream>
#include <iterator>

#include "support/engine_fixture.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;
using Bytes = std::vector<std::uint8_t>;

constexpr std::time_t kDay = 24 * 60 * 60;

Bytes TextBody(std::initializer_list<std::string> texts) {
  wire::BodyWriter body;
  for (const std::string& t : texts) body.PutText(t);
  return body.Finish();
}

Bytes PasswordBody(const std::string& code, const std::string& sealed) {
  return TextBody({code, sealed});
}

TEST_F(EngineTest, BadFramesGetAClearStatusAndOnlyAShortFrameCloses) {
  auto session = LoggedOn("adm", kAdminPassword);
  Bytes header(p::kHeaderSize, 0);
  header[4] = 3, header[5] = 1, header[6] = 2;  // execute SQL
  auto frame = [&](Bytes body) {
    Bytes f = header;
    f.insert(f.end(), body.begin(), body.end());
    return f;
  };
  struct Case {
    const char* what;
    Bytes frame;
    bool closed;
    std::uint8_t status;
  } cases[] = {
      {"shorter than a header", Bytes(20, 0), true, 0},
      {"field runs past the end", frame({10, 0, 'a', 'b'}), false, p::kBadMessage},
      {"no terminator", frame({1, 0, 'a'}), false, p::kBadMessage},
      {"bytes after the terminator", frame({0xff, 0x7f, 0}), false, p::kBadMessage},
      {"one lone byte", frame({7}), false, p::kBadMessage},
      {"fields of the wrong kind", frame(TextBody({"x"})), false, p::kBadMessage},
      {"no fields at all", frame({}), false, p::kBadMessage},
  };
  for (const Case& c : cases) {
    Answer answer = SendRaw(*session, c.frame);
    EXPECT_EQ(answer.closed, c.closed) << c.what;
    if (!c.closed) {
      EXPECT_EQ(answer.status, c.status) << c.what;
    }
  }
  EXPECT_EQ(Send(*session, p::Kind{99, 1, 1}, wire::BodyWriter().Finish()).status,
            p::kUnknownRequest);
  // The session still answers, and the store is as it was.
  wire::BodyWriter query;
  query.PutLong("select count(*) from UUSR");
  EXPECT_EQ(Send(*session, p::kQuery, query.Finish()).status, p::kOk);
  EXPECT_EQ(StoreText("select count(*) from UUSR"), "20");
}

TEST_F(EngineTest, NothingButHelloAndLogonBeforeALogon) {
  auto session = NewSession();
  const p::Kind kinds[] = {p::kQuery,    p::kExecute,     p::kSetPassword,  p::kVerifyPassword,
                           p::kFindCode, p::kReload,      p::kGetSetting,   p::kServerTime,
                           p::kPutLog,   p::kFuncPvg,     p::kDownloadName, p::kGetFile,
                           p::kPutFile,  p::kOnlineState, p::kLogoff,       p::kUploadName};
  for (p::Kind kind : kinds) {
    EXPECT_EQ(Send(*session, kind, TextBody({"x"})).status, p::kNotLoggedOn) << int(kind.cls);
  }
  // A wrong password does not open the session either.
  EXPECT_EQ(Logon(*session, "bob", "wrong").status, p::kLogonWrong);
  EXPECT_EQ(Send(*session, p::kServerTime, {}).status, p::kNotLoggedOn);
}

TEST_F(EngineTest, LogonRefusesUnknownDeletedAndNonUserRecords) {
  auto session = NewSession();
  EXPECT_EQ(Logon(*session, "nobody", "x").status, p::kLogonWrong);
  EXPECT_EQ(Logon(*session, "frank[del]", "frank-pw1").status, p::kLogonWrong);
  EXPECT_EQ(Logon(*session, "ENG", "").status, p::kLogonWrong);
  // A sealed password that is not sealed to this server is a bad message, and so is a
  // version that is not a 32-bit number.
  wire::BodyWriter foreign;
  foreign.PutText("bob");
  foreign.PutText("bm90IHNlYWxlZA==");
  foreign.PutInt32(1);
  EXPECT_EQ(Send(*session, p::kLogon, foreign.Finish()).status, p::kBadMessage);
  EXPECT_EQ(
      Send(*session, p::kLogon, TextBody({"bob", Seal(*session, "bob-pw1"), "hrzhost 0.1"})).status,
      p::kBadMessage);
  // Codes compare without case; every user kind logs on.
  EXPECT_EQ(Logon(*session, "ADM", kAdminPassword).status, p::kLogonOk);
  EXPECT_EQ(Logon(*session, "carol", "carol-pw1").status, p::kLogonOk);
  EXPECT_EQ(Logon(*session, "dave", "dave-pw1").status, p::kLogonOk);
  EXPECT_EQ(StoreText("select NUPCLIVR from UUSR where CCODE = 'dave'"), "260101");
}

TEST_F(EngineTest, FailedAttemptsCountToTheLockAndANewDayStartsAgain) {
  auto adm = LoggedOn("adm", kAdminPassword);
  auto verify = [&](const std::string& password) {
    return Send(*adm, p::kVerifyPassword, PasswordBody("bob", Seal(*adm, password)));
  };
  for (int left = 4; left >= 1; --left) {
    Answer wrong = verify("bad");
    EXPECT_EQ(wrong.status, p::kLogonWrong);
    EXPECT_EQ(wrong.FirstText(), "pwd_try_left=" + std::to_string(left));
  }
  EXPECT_EQ(StoreText("select NTRYLGN from UUSR where CCODE = 'bob'"), "4");
  EXPECT_EQ(verify("bad").status, p::kLogonLocked);
  // Locked: even the right password is refused, at logon too.
  EXPECT_EQ(verify("bob-pw1").status, p::kLogonLocked);
  auto session = NewSession();
  EXPECT_EQ(Logon(*session, "bob", "bob-pw1").status, p::kLogonLocked);

  clock_->now += kDay;
  EXPECT_EQ(verify("bob-pw1").status, p::kLogonOk);
  EXPECT_EQ(StoreText("select NTRYLGN is null and DTRYLGNTM is null from UUSR where CCODE = 'bob'"),
            "1");
  // Yesterday's failures do not count today.
  EXPECT_EQ(verify("bad").FirstText(), "pwd_try_left=4");
}

TEST_F(EngineTest, WithoutALimitFailuresAreCountedButNeverLock) {
  auto adm = LoggedOn("adm", kAdminPassword);
  ExecStore("delete from SRV_SETTING");
  for (int i = 0; i < 7; ++i) {
    Answer wrong = Send(*adm, p::kVerifyPassword, PasswordBody("grace", Seal(*adm, "bad")));
    EXPECT_EQ(wrong.status, p::kLogonWrong);
    EXPECT_EQ(wrong.FirstText(), "<none>");
  }
  EXPECT_EQ(Send(*adm, p::kVerifyPassword, PasswordBody("grace", Seal(*adm, "grace-pw1"))).status,
            p::kLogonOk);
}

TEST_F(EngineTest, SampleLockedUserIsLockedToday) {
  auto session = NewSession();
  clock_->now = std::time(nullptr);
  EXPECT_EQ(Logon(*session, "erin", "erin-pw1").status, p::kLogonLocked);
}

TEST_F(EngineTest, OnlyTheAdministratorVerifiesOrSetsAnotherUsersPassword) {
  auto bob = LoggedOn("bob", "bob-pw1");
  EXPECT_EQ(Send(*bob, p::kVerifyPassword, PasswordBody("alice", Seal(*bob, "alice-pw1"))).status,
            p::kPasswordNoRight);
  EXPECT_EQ(Send(*bob, p::kSetPassword, PasswordBody("alice", Seal(*bob, "x"))).status,
            p::kPasswordNoRight);
  // Empty code: the logged-in user's own password.
  EXPECT_EQ(Send(*bob, p::kSetPassword, PasswordBody("", Seal(*bob, "bob-new"))).status,
            p::kPasswordSet);
  EXPECT_EQ(StoreText("select DMODIPWD from UUSR where CCODE = 'bob'"), LocalDay(clock_->now));
  LoggedOn("bob", "bob-new");

  auto adm = LoggedOn("adm", kAdminPassword);
  EXPECT_EQ(Send(*adm, p::kSetPassword, PasswordBody("alice", Seal(*adm, "alice-new"))).status,
            p::kPasswordSet);
  EXPECT_EQ(Send(*adm, p::kSetPassword, PasswordBody("ENG", Seal(*adm, "x"))).status,
            p::kPasswordFailed);
  EXPECT_EQ(Send(*adm, p::kVerifyPassword, PasswordBody("alice", Seal(*adm, "alice-new"))).status,
            p::kLogonOk);
}

TEST_F(EngineTest, APasswordFromSomeoneElseKeepsTheChangeAtNextLogonMark) {
  struct Case {
    const char* setter;
    const char* setterPassword;
    const char* code;  // empty: the setter's own
    const char* before;
    bool marked;  // false: stamped with the server's day
  };
  const Case cases[] = {
      {"adm", kAdminPassword, "alice", "20000101", true},
      {"adm", kAdminPassword, "alice", "20250115", false},
      {"adm", kAdminPassword, "alice", "NULL", false},
      {"bob", "bob-pw1", "", "20000101", false},
  };
  for (const Case& c : cases) {
    const std::string owner = c.code[0] != '\0' ? c.code : c.setter;
    ExecStore("update UUSR set DMODIPWD = " + std::string(c.before) + " where CCODE = '" + owner +
              "'");
    auto setter = LoggedOn(c.setter, c.setterPassword);
    ASSERT_EQ(
        Send(*setter, p::kSetPassword, PasswordBody(c.code, Seal(*setter, "New-pw-9"))).status,
        p::kPasswordSet)
        << c.setter;
    EXPECT_EQ(StoreText("select DMODIPWD from UUSR where CCODE = '" + owner + "'"),
              c.marked ? "20000101" : LocalDay(clock_->now))
        << c.setter << " " << c.before;
  }
}

TEST_F(EngineTest, TheStoreHoldsPasswordsOnlyAsArgon2idHashes) {
  auto adm = LoggedOn("adm", kAdminPassword);
  const std::string secret = "Plain-Text-Canary-8317";
  ASSERT_EQ(Send(*adm, p::kSetPassword, PasswordBody("grace", Seal(*adm, secret))).status,
            p::kPasswordSet);
  adm.reset();
  engine_.reset();
  EXPECT_EQ(StoreText("select count(*) from SRV_PASSWORD where CHASH not like '$argon2id$%'"), "0");
  if (OnPostgres()) return;  // the database's files are the cluster's, not the test's to read
  for (const std::string suffix : {"", "-wal"}) {
    std::ifstream file(path_ + suffix, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes.find(secret), std::string::npos) << suffix;
    EXPECT_EQ(bytes.find(kAdminPassword), std::string::npos) << suffix;
  }
}

TEST_F(EngineTest, CodeLookupAnswersTheHolderOrFree) {
  auto adm = LoggedOn("adm", kAdminPassword);
  Answer held = Send(*adm, p::kFindCode, TextBody({"ALICE"}));
  EXPECT_EQ(held.status, p::kCodeHeld);
  EXPECT_EQ(held.body.size(), 8u);
  std::int32_t nid = 0;
  auto fields = held.Fields();
  ASSERT_TRUE(fields.NextInt32(&nid));
  EXPECT_EQ(nid, 308);
  EXPECT_EQ(Send(*adm, p::kFindCode, TextBody({"zoe"})).status, p::kCodeFree);
}

TEST_F(EngineTest, ReloadIsAnsweredForTheAdministratorOnly) {
  wire::BodyWriter values;
  values.PutBytes("\x41\0\0\0\x50\0\0\0", 8);
  const Bytes body = values.Finish();
  EXPECT_EQ(Send(*LoggedOn("adm", kAdminPassword), p::kReload, body).status, p::kReloadDone);
  EXPECT_EQ(Send(*LoggedOn("bob", "bob-pw1"), p::kReload, body).status, p::kReloadNoRight);
  EXPECT_EQ(Send(*LoggedOn("adm", kAdminPassword), p::kReload, TextBody({"1234"})).status,
            p::kBadMessage);
}

TEST_F(EngineTest, PrivilegesComeFromTheUserAndEveryLevelAbove) {
  struct Case {
    const char* user;
    const char* password;
    const char* code;
    std::int32_t view, modify;
  } cases[] = {
      {"adm", kAdminPassword, "XPRFLWRLS", 1, 1},
      {"alice", "alice-pw1", "ufuncpvg", 1, 0},   // her own grant
      {"alice", "alice-pw1", "PDUNIREAD", 1, 0},  // Engineering, three levels up
      {"alice", "alice-pw1", "XPRFLWCHK", 1, 1},  // the role Reviewers
      {"bob", "bob-pw1", "PDUNIREAD", 1, 0},
      {"bob", "bob-pw1", "XPRFLWCHK", 0, 0},
      {"carol", "carol-pw1", "UUSR", 0, 0},
  };
  for (const Case& c : cases) {
    auto session = LoggedOn(c.user, c.password);
    wire::BodyWriter body;
    body.PutInt32(-1);
    body.PutText(c.code);
    Answer answer = Send(*session, p::kFuncPvg, body.Finish());
    ASSERT_EQ(answer.status, p::kOk) << c.user << " " << c.code;
    std::int32_t view = -1, modify = -1;
    auto fields = answer.Fields();
    ASSERT_TRUE(fields.NextInt32(&view) && fields.NextInt32(&modify));
    EXPECT_EQ(view, c.view) << c.user << " " << c.code;
    EXPECT_EQ(modify, c.modify) << c.user << " " << c.code;
  }
  auto bob = LoggedOn("bob", "bob-pw1");
  wire::BodyWriter unknown;
  unknown.PutInt32(-1);
  unknown.PutText("NOSUCHPVG");
  EXPECT_EQ(Send(*bob, p::kFuncPvg, unknown.Finish()).status, p::kNotFound);
  wire::BodyWriter other;
  other.PutInt32(1);
  other.PutText("UUSR");
  EXPECT_EQ(Send(*bob, p::kFuncPvg, other.Finish()).status, p::kFailed);
}

TEST_F(EngineTest, SettingsTimeAndTheAuditLog) {
  auto bob = LoggedOn("bob", "bob-pw1");
  Answer setting = Send(*bob, p::kGetSetting, TextBody({"SYSTEM", "lgn err try"}));
  ASSERT_EQ(setting.status, p::kOk);
  std::string value;
  auto fields = setting.Fields();
  ASSERT_TRUE(fields.NextLong(&value, 100));
  EXPECT_EQ(value, "5");
  EXPECT_EQ(Send(*bob, p::kGetSetting, TextBody({"system", "missing"})).status, p::kNotFound);

  clock_->now = 1'780'000'000;
  Answer time = Send(*bob, p::kServerTime, {});
  ASSERT_EQ(time.status, p::kOk);
  std::tm expected{};
  localtime_r(&clock_->now, &expected);
  std::int32_t year = 0, month = 0, day = 0;
  auto t = time.Fields();
  ASSERT_TRUE(t.NextInt32(&year) && t.NextInt32(&month) && t.NextInt32(&day));
  EXPECT_EQ(year, expected.tm_year + 1900);
  EXPECT_EQ(month, expected.tm_mon + 1);
  EXPECT_EQ(day, expected.tm_mday);

  wire::BodyWriter log;
  log.PutText("ASGNDWGPVG");
  log.PutText("UUSR");
  log.PutInt32(308);
  log.PutText("2");
  log.PutText("Dwg Global Read");
  EXPECT_EQ(Send(*bob, p::kPutLog, log.Finish()).status, p::kOk);
  EXPECT_EQ(
      StoreText("select CACTION || '|' || CTABLE || '|' || NTARGET || '|' || CVALUE || '|' || "
                "CTEXT || '|' || NUSER from SRV_LOG"),
      "ASGNDWGPVG|UUSR|308|2|Dwg Global Read|309");
}

TEST_F(EngineTest, ServerKeptFilesAreNamedAndFetched) {
  auto bob = LoggedOn("bob", "bob-pw1");
  Answer name = Send(*bob, p::kDownloadName, TextBody({"\\\\hrzserver\\client\\KQFLWLGN.xcf"}));
  EXPECT_EQ(name.group, p::kDownloadNameGroup);
  ASSERT_EQ(name.status, p::kDownloadNameOk);
  EXPECT_EQ(name.FirstText(), "client/kqflwlgn.xcf");
  Answer file = Send(*bob, p::kGetFile, TextBody({"client/kqflwlgn.xcf"}));
  ASSERT_EQ(file.status, p::kOk);
  std::string content;
  auto fields = file.Fields();
  ASSERT_TRUE(fields.NextLong(&content, 1 << 20));
  EXPECT_EQ(content.rfind("//TEXT", 0), 0u);
  EXPECT_NE(content.find("ComputerNameLogon=true"), std::string::npos);

  for (const char* path : {"\\\\hrzserver\\client\\nofile.xcf", "\\\\hrzserver\\client\\..\\x",
                           "\\\\other\\client\\kqflwlgn.xcf", "kqflwlgn.xcf"}) {
    Answer missing = Send(*bob, p::kDownloadName, TextBody({path}));
    EXPECT_EQ(missing.status, p::kDownloadNameMissing) << path;
  }
  // Client files are the administrator's to change.
  wire::BodyWriter put;
  put.PutText("client/kqflwlgn.xcf");
  put.PutLong("//TEXT\nLastServer=evil\n");
  EXPECT_EQ(Send(*bob, p::kPutFile, put.Finish()).status, p::kFailed);
  // A signature upload: the server names the file, then takes its content.
  wire::BodyWriter ask;
  ask.PutText("UUSR");
  ask.PutText("CBMPSG");
  ask.PutInt32(309);
  ask.PutText("bmp");
  Answer named = Send(*bob, p::kUploadName, ask.Finish());
  ASSERT_EQ(named.status, p::kUploadNameOk);
  EXPECT_EQ(named.FirstText(), "sign/309/CBMPSG.bmp");
  EXPECT_EQ(StoreText("select coalesce(CBMPSG, '<null>') from UUSR where NID = 309"), "<null>")
      << "named, but no file yet";
  wire::BodyWriter own;
  own.PutText("sign/309/CBMPSG.bmp");
  own.PutLong(std::string(70000, 'b'));
  EXPECT_EQ(Send(*bob, p::kPutFile, own.Finish()).status, p::kOk);
  EXPECT_EQ(StoreText("select length(BDATA) from SRV_FILE where CNAME = 'sign/309/CBMPSG.bmp'"),
            "70000");
  EXPECT_EQ(StoreText("select CBMPSG from UUSR where NID = 309"), "sign/309/CBMPSG.bmp");
  // A signature larger than any picture of one is refused; the stored one stays.
  wire::BodyWriter huge;
  huge.PutText("sign/309/CBMPSG.bmp");
  huge.PutLong(std::string(p::kMaxSignatureBytes + 1, 'h'));
  EXPECT_EQ(Send(*bob, p::kPutFile, huge.Finish()).status, p::kFileTooLarge);
  EXPECT_EQ(StoreText("select length(BDATA) from SRV_FILE where CNAME = 'sign/309/CBMPSG.bmp'"),
            "70000");
}

TEST_F(EngineTest, OnlineStateFollowsLogonAndLogoff) {
  auto adm = LoggedOn("adm", kAdminPassword);
  wire::BodyWriter body;
  body.PutTextZ("carol");
  const Bytes ask = body.Finish();
  EXPECT_EQ(Send(*adm, p::kOnlineState, ask).status, p::kUserOffline);
  {
    auto carol = LoggedOn("carol", "carol-pw1");
    EXPECT_EQ(Send(*adm, p::kOnlineState, ask).status, p::kUserOnline);
    // The acknowledgement is one-way: nothing comes back.
    EXPECT_FALSE(Send(*adm, p::kOnlineAck, {}, true).received);
    Send(*carol, p::kLogoff, {});
    EXPECT_EQ(Send(*adm, p::kOnlineState, ask).status, p::kUserOffline);
    LoggedOn("carol", "carol-pw1");  // logged on, then gone with its session
  }
  EXPECT_EQ(Send(*adm, p::kOnlineState, ask).status, p::kUserOffline);

  // A second engine on the same store, as a client running the engine in process has.
  std::string error;
  std::unique_ptr<hrzsrv::Engine> other = hrzsrv::Engine::Open(store_, clock_, &error);
  ASSERT_TRUE(other) << error;
  std::unique_ptr<hrzsrv::Session> elsewhere = other->NewSession("embedded", &error);
  ASSERT_EQ(Logon(*elsewhere, "carol", "carol-pw1").status, p::kLogonOk);
  EXPECT_EQ(Send(*adm, p::kOnlineState, ask).status, p::kUserOnline);
  elsewhere.reset();
  EXPECT_EQ(Send(*adm, p::kOnlineState, ask).status, p::kUserOffline) << "gone with its session";
}

TEST_F(EngineTest, ASessionIsOfflineOnceItEndsEvenWhileTheStoreIsBusy) {
  auto adm = LoggedOn("adm", kAdminPassword);
  auto carol = LoggedOn("carol", "carol-pw1");
  // Its row cannot be dropped while another writer holds it: the whole SQLite file, or the
  // row itself on PostgreSQL.
  if (OnPostgres()) {
    std::string error;
    std::unique_ptr<hrzsrv::pg::Connection> blocker = hrzsrv::pg::Connection::Open(store_, &error);
    ASSERT_TRUE(blocker) << error;
    ASSERT_TRUE(blocker
                    ->ExecScript("BEGIN; SELECT 1 FROM hrz_private.SRV_SESSION WHERE NUSER = "
                                 "310 FOR UPDATE")
                    .ok());
    carol.reset();
    blocker->Exec("COMMIT");
  } else {
    sqlite3* blocker = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &blocker), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(blocker, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    carol.reset();
    sqlite3_exec(blocker, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(blocker);
  }
  EXPECT_EQ(StoreText("select count(*) from SRV_SESSION where NUSER = 310"), "1");
  wire::BodyWriter body;
  body.PutTextZ("carol");
  EXPECT_EQ(Send(*adm, p::kOnlineState, body.Finish()).status, p::kUserOffline);
  EXPECT_EQ(StoreText("select count(*) from SRV_SESSION where NUSER = 310"), "0");
}

TEST_F(EngineTest, SessionsOfEndedProcessesAreNotOnline) {
  auto adm = LoggedOn("adm", kAdminPassword);
  std::string boot;
  std::getline(std::ifstream("/proc/sys/kernel/random/boot_id"), boot);
  ASSERT_FALSE(boot.empty());
  // Processes that ended without logging off: one of an earlier boot, one whose pid runs no
  // more, one whose pid now runs another program (pid 1 started at tick 1 it was not).
  for (const std::string& process :
       {std::string("old-boot/1/1"), boot + "/2147483647/1", boot + "/1/999999999"}) {
    ExecStore("insert into SRV_SESSION(CSESSION, NUSER, CPROCESS) values ('" + process +
              "#1', 310, '" + process + "')");
  }
  wire::BodyWriter body;
  body.PutTextZ("carol");
  EXPECT_EQ(Send(*adm, p::kOnlineState, body.Finish()).status, p::kUserOffline);
  EXPECT_EQ(StoreText("select count(*) from SRV_SESSION where NUSER = 310"), "0")
      << "their rows are dropped once read";
}

}  // namespace
}  // namespace hrztest
