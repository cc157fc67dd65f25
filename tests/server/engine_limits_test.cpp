// The engine's side of the channel rules: sealed passwords bound to their session, limits
// answered with statuses of their own, no store connection before a logon, and unknown
// codes counted like users.

#include "support/engine_fixture.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;
using Bytes = std::vector<std::uint8_t>;

Bytes PasswordBody(const std::string& code, const std::string& sealed) {
  wire::BodyWriter body;
  body.PutText(code);
  body.PutText(sealed);
  return body.Finish();
}

Bytes SqlBody(const std::string& sql) {
  wire::BodyWriter body;
  body.PutLong(sql);
  return body.Finish();
}

TEST_F(EngineTest, ASealedPasswordIsTakenOnceAndOnlyOnItsSession) {
  auto adm = LoggedOn("adm", kAdminPassword);
  auto other = NewSession();
  const std::vector<std::uint8_t> own = NonceOf(*adm), foreign = NonceOf(*other);
  ASSERT_NE(own, foreign);
  struct Case {
    const char* what;
    std::string sealed;
    std::uint8_t status;
  } cases[] = {
      {"another session's nonce", SealWith(foreign, 100, "grace-pw1"), p::kStaleSeal},
      {"its own nonce", SealWith(own, 100, "grace-pw1"), p::kLogonOk},
      {"the same again", SealWith(own, 100, "grace-pw1"), p::kStaleSeal},
      {"an older number", SealWith(own, 99, "grace-pw1"), p::kStaleSeal},
      {"the next number", SealWith(own, 101, "grace-pw1"), p::kLogonOk},
      {"not base64", "%%%", p::kBadMessage},
      {"too short to hold a nonce", SealWith({}, 7, ""), p::kBadMessage},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Send(*adm, p::kVerifyPassword, PasswordBody("grace", c.sealed)).status, c.status)
        << c.what;
  }
  EXPECT_EQ(Send(*adm, p::kSetPassword, PasswordBody("grace", SealWith(own, 101, "x"))).status,
            p::kStaleSeal);
}

TEST_F(EngineTest, EachSizeLimitHasItsOwnStatus) {
  auto adm = LoggedOn("adm", kAdminPassword);
  auto stranger = NewSession();
  const std::string endless =
      "with recursive c(x) as (select 1 union all select x + 1 from c where x < 60) ";
  auto fileBody = [](std::size_t size) {
    wire::BodyWriter body;
    body.PutText("user/11.bin");
    body.PutLong(std::string(size, 'f'));
    return body.Finish();
  };
  wire::BodyWriter longCode;
  longCode.PutText(std::string(200, 'a'));
  longCode.PutText(Seal(*stranger, "x"));
  longCode.PutText("1");
  struct Case {
    const char* what;
    hrzsrv::Session* session;
    p::Kind kind;
    Bytes body;
    std::uint8_t status;
  } cases[] = {
      {"a user code of 200 bytes", stranger.get(), p::kLogon, longCode.Finish(), p::kFieldTooLong},
      {"SQL text at the limit", adm.get(), p::kQuery,
       SqlBody("select 1" + std::string(p::kMaxSqlText - 8, ' ')), p::kOk},
      {"SQL text over it", adm.get(), p::kQuery,
       SqlBody("select 1" + std::string(p::kMaxSqlText - 7, ' ')), p::kSqlTooLong},
      {"an execute over it", adm.get(), p::kExecute,
       SqlBody("delete from UUSR" + std::string(p::kMaxSqlText, ' ')), p::kSqlTooLong},
      {"a result of 60 MB", adm.get(), p::kQuery,
       SqlBody(endless + (OnPostgres() ? "select repeat('0', 1000000) from c"
                                       : "select zeroblob(1000000) from c")),
       p::kResultTooLarge},
      {"a file at the limit", adm.get(), p::kPutFile, fileBody(p::kMaxFileBytes), p::kOk},
      {"a file over it", adm.get(), p::kPutFile, fileBody(p::kMaxFileBytes + 1), p::kFileTooLarge},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Send(*c.session, c.kind, c.body).status, c.status) << c.what;
  }
  EXPECT_EQ(StoreText("select count(*) from UUSR"), "20");
}

TEST_F(EngineTest, ASessionHoldsAStoreConnectionOnlyWhileLoggedOn) {
  const int before = CountEntries("/proc/self/fd");
  std::vector<std::unique_ptr<hrzsrv::Session>> strangers;
  for (int i = 0; i < 20; ++i) {
    strangers.push_back(NewSession());
    EXPECT_EQ(Send(*strangers.back(), p::kHello, {}).status, p::kOk);
  }
  EXPECT_EQ(CountEntries("/proc/self/fd"), before);
  auto& session = *strangers.front();
  EXPECT_EQ(Logon(session, "bob", "wrong").status, p::kLogonWrong);
  EXPECT_EQ(CountEntries("/proc/self/fd"), before) << "a failed logon keeps no connection";
  EXPECT_EQ(Logon(session, "bob", "bob-pw1").status, p::kLogonOk);
  EXPECT_GT(CountEntries("/proc/self/fd"), before);
  EXPECT_EQ(Send(session, p::kLogoff, {}).status, p::kOk);
  EXPECT_EQ(CountEntries("/proc/self/fd"), before);
}

TEST_F(EngineTest, UnknownCodesAreCountedLikeUsersAndTheirRowsStayFew) {
  // A flood of made-up codes early today, the first of them from an earlier day.
  ExecStore(
      "with recursive n(i) as (select 1 union all select i + 1 from n where i < 10005) "
      "insert into SRV_UNKNOWN_LOGON select 'flood' || i, 1, " +
      LocalDay(clock_->now) +
      " + i / 1e12 from n;"
      "update SRV_UNKNOWN_LOGON set DTRYLGNTM = 19990101 where CCODE = 'flood1'");
  auto session = NewSession();
  Answer first = Logon(*session, "Nobody", "x");
  EXPECT_EQ(first.status, p::kLogonWrong);
  EXPECT_EQ(first.FirstText(), "pwd_try_left=4");
  EXPECT_EQ(Logon(*session, "NOBODY", "x").FirstText(), "pwd_try_left=3") << "codes ignore case";
  EXPECT_EQ(StoreText("select count(*) from SRV_UNKNOWN_LOGON"), "10000");
  EXPECT_EQ(StoreText("select NTRYLGN from SRV_UNKNOWN_LOGON where CCODE = 'nobody'"), "2");
  EXPECT_EQ(StoreText("select count(*) from SRV_UNKNOWN_LOGON where CCODE = 'flood1'"), "0");
  EXPECT_EQ(StoreText("select count(*) from SRV_UNKNOWN_LOGON where CCODE = 'flood2'"), "0")
      << "the oldest of today go first";
}

}  // namespace
}  // namespace hrztest
