// Two engines on one PostgreSQL copy of the sample organisation, as two hrzserver processes on
// two machines run them: who is online, a server that stops beating or closes, failed logons
// counted through both, and changes made through one answered by the other. Each engine names
// itself as an engine of another machine, so that only its beat tells the other that it runs.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"
#include "support/engine_fixture.h"
#include "support/pg_cluster.h"
#include "support/save_message.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;
using Bytes = std::vector<std::uint8_t>;
using hrzsrv::Engine;
using hrzsrv::Session;

constexpr std::chrono::seconds kGrace{60};
constexpr int kCarol = 310;

Bytes CodeZ(const std::string& code) {
  wire::BodyWriter body;
  body.PutTextZ(code);
  return body.Finish();
}

Bytes PasswordBody(const std::string& code, const std::string& sealed) {
  wire::BodyWriter body;
  body.PutText(code);
  body.PutText(sealed);
  return body.Finish();
}

// A clock the test sets while an engine's beat reads it.
class SharedClock final : public hrzsrv::Clock {
 public:
  explicit SharedClock(std::time_t start) : now(start) {}
  std::time_t Now() const override { return now; }
  std::atomic<std::time_t> now;
};

class SeveralServersTest : public EngineTest {
 protected:
  static constexpr const char* kKeyA = "machine-a/4100/77/1";
  static constexpr const char* kKeyB = "machine-b/4200/88/1";

  void SetUp() override {
    EngineTest::SetUp();  // the sample copy at path_
    if (HasFatalFailure()) return;
    NewTestDatabase(&location_);
    if (location_.empty()) return;
    engine_.reset();
    std::string error;
    ASSERT_TRUE(hrzsrv::MigrateToPostgres(path_, location_, nullptr, &error)) << error;
    db_ = hrzsrv::pg::Connection::Open(location_, &error);
    ASSERT_TRUE(db_) << error;
    // Neither beats after it opens unless a test asks: a silent server is one of the cases.
    engine_ = OpenEngine(kKeyA, clock_);
    other_ = OpenEngine(kKeyB, clock_);
    ASSERT_TRUE(engine_ && other_);
  }

  std::unique_ptr<Engine> OpenEngine(const std::string& key,
                                     std::shared_ptr<const hrzsrv::Clock> clock,
                                     std::chrono::milliseconds interval = {}) {
    hrzsrv::EngineLimits limits;
    limits.heartbeat = {interval, kGrace, key};
    std::string error;
    std::unique_ptr<Engine> engine = Engine::Open(location_, std::move(clock), &error, limits);
    EXPECT_TRUE(engine) << error;
    return engine;
  }

  std::unique_ptr<Session> LoggedOnAt(Engine& engine, const std::string& code,
                                      const std::string& password) {
    std::string error;
    std::unique_ptr<Session> session = engine.NewSession("test", &error);
    EXPECT_TRUE(session) << error;
    if (session) {
      EXPECT_EQ(Logon(*session, code, password).status, p::kLogonOk) << code;
    }
    return session;
  }

  bool Online(Session& asking, const std::string& code) {
    const std::uint8_t status = Send(asking, p::kOnlineState, CodeZ(code)).status;
    EXPECT_TRUE(status == p::kUserOnline || status == p::kUserOffline) << int{status};
    return status == p::kUserOnline;
  }

  // The first cell of a statement on the store, as text; "<none>" without a row.
  std::string Cell(const std::string& sql) {
    const hrzsrv::pg::Result result = db_->Exec(sql);
    EXPECT_TRUE(result.ok()) << result.error();
    return result.ok() && result.Rows() > 0 ? result.Text(0, 0) : "<none>";
  }
  // The rows an engine holds in the store: its own and its sessions'.
  std::string RowsOf(const std::string& key) {
    return Cell("select (select count(*) from hrz_private.SRV_PROCESS where CPROCESS = '" + key +
                "') || '/' || (select count(*) from hrz_private.SRV_SESSION where CPROCESS = '" +
                key + "')");
  }

  std::string location_;
  std::unique_ptr<hrzsrv::pg::Connection> db_;
  std::unique_ptr<Engine> other_;
};

TEST_F(SeveralServersTest, ALogonThroughOneServerIsOnlineOnTheOther) {
  struct Way {
    const char* name;
    Engine* logon;
    Engine* asker;
    const char* logonKey;
  };
  for (const Way& way : {Way{"A to B", engine_.get(), other_.get(), kKeyA},
                         Way{"B to A", other_.get(), engine_.get(), kKeyB}}) {
    SCOPED_TRACE(way.name);
    auto adm = LoggedOnAt(*way.asker, "adm", kAdminPassword);
    auto carol = LoggedOnAt(*way.logon, "carol", "carol-pw1");
    EXPECT_EQ(RowsOf(way.logonKey), "1/1");
    EXPECT_TRUE(Online(*adm, "carol"));
    Send(*carol, p::kLogoff, {});
    EXPECT_FALSE(Online(*adm, "carol")) << "logged off";
    carol = LoggedOnAt(*way.logon, "carol", "carol-pw1");
    EXPECT_TRUE(Online(*adm, "carol"));
    carol.reset();
    EXPECT_FALSE(Online(*adm, "carol")) << "gone with its connection";
    EXPECT_EQ(RowsOf(way.logonKey), "1/0");
  }
}

// carol logged on through A, which beat as it opened and never again; adm asks through B.
class SilentServerTest : public SeveralServersTest {
 protected:
  void SetUp() override {
    SeveralServersTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    carol_ = LoggedOnAt(*engine_, "carol", "carol-pw1");
    adm_ = LoggedOnAt(*other_, "adm", kAdminPassword);
    ASSERT_TRUE(Online(*adm_, "carol"));
    // A beat as old as the grace still counts.
    clock_->now += kGrace.count();
    ASSERT_TRUE(Online(*adm_, "carol"));
    ASSERT_EQ(RowsOf(kKeyA), "1/1");
    clock_->now += 1;
  }
  std::unique_ptr<Session> carol_, adm_;
};

TEST_F(SilentServerTest, ItsSessionsAreOfflineOnTheOtherServerAfterTheGrace) {
  EXPECT_FALSE(Online(*adm_, "carol"));
  EXPECT_EQ(RowsOf(kKeyA), "0/0") << "its rows are dropped once read";
  // Its own sessions still count for B, whose beat is as old.
  EXPECT_TRUE(Online(*adm_, "adm"));
}

TEST_F(SilentServerTest, TheNextBeatOfAnyServerDropsItsRows) {
  std::unique_ptr<Engine> third = OpenEngine("machine-c/4300/99/1", clock_);
  ASSERT_TRUE(third);
  EXPECT_EQ(RowsOf(kKeyA), "0/0");
  EXPECT_EQ(RowsOf("machine-c/4300/99/1"), "1/0");
}

TEST_F(SeveralServersTest, AServerCutOffLongerThanTheGraceWritesItsSessionsBack) {
  // Its clock stays behind, as if its beats could not reach the store, while it beats often.
  auto stuck = std::make_shared<SharedClock>(clock_->now);
  const std::string key = "machine-d/4400/11/1";
  std::unique_ptr<Engine> cutOff = OpenEngine(key, stuck, std::chrono::milliseconds(10));
  ASSERT_TRUE(cutOff);
  auto carol = LoggedOnAt(*cutOff, "carol", "carol-pw1");
  auto adm = LoggedOnAt(*other_, "adm", kAdminPassword);
  ASSERT_TRUE(Online(*adm, "carol"));
  clock_->now += kGrace.count() + 1;
  EXPECT_FALSE(Online(*adm, "carol"));

  stuck->now = clock_->now;  // its beats arrive again
  const std::string beat =
      "select NBEAT from hrz_private.SRV_PROCESS where CPROCESS = '" + key + "'";
  bool back = false;
  for (int tries = 0; tries < 500 && !back; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    back = Cell(beat) == std::to_string(clock_->now);
  }
  ASSERT_TRUE(back) << Cell(beat);
  EXPECT_TRUE(Online(*adm, "carol"));
  EXPECT_EQ(Cell("select NUSER from hrz_private.SRV_SESSION where CPROCESS = '" + key + "'"),
            std::to_string(kCarol));
}

TEST_F(SeveralServersTest, AServerThatClosesTakesItsRowsWithIt) {
  const std::string key = "machine-e/4500/22/1";
  std::unique_ptr<Engine> closing = OpenEngine(key, clock_);
  ASSERT_TRUE(closing);
  EXPECT_EQ(Cell("select NBEAT from hrz_private.SRV_PROCESS where CPROCESS = '" + key + "'"),
            std::to_string(clock_->now));
  auto adm = LoggedOnAt(*other_, "adm", kAdminPassword);
  {
    auto carol = LoggedOnAt(*closing, "carol", "carol-pw1");
    EXPECT_TRUE(Online(*adm, "carol"));
  }
  // A row its session could not drop when it ended, as while the store was busy.
  db_->Exec("insert into hrz_private.SRV_SESSION(CSESSION, NUSER, CPROCESS) values ('" + key +
            "#999', 310, '" + key + "')");
  ASSERT_EQ(RowsOf(key), "1/1");
  closing.reset();
  EXPECT_EQ(RowsOf(key), "0/0");
  EXPECT_FALSE(Online(*adm, "carol"));
}

TEST_F(SeveralServersTest, FailedAttemptsThroughBothServersCountTowardsOneLock) {
  // The sample allows five failed attempts a day.
  std::unique_ptr<Session> adms[] = {LoggedOnAt(*engine_, "adm", kAdminPassword),
                                     LoggedOnAt(*other_, "adm", kAdminPassword)};
  auto verify = [&](int server, const std::string& password) {
    Session& adm = *adms[server];
    return Send(adm, p::kVerifyPassword, PasswordBody("bob", Seal(adm, password)));
  };
  for (int left = 4; left >= 1; --left) {
    const Answer wrong = verify(left % 2, "bad");
    EXPECT_EQ(wrong.status, p::kLogonWrong);
    EXPECT_EQ(wrong.FirstText(), "pwd_try_left=" + std::to_string(left));
  }
  EXPECT_EQ(verify(0, "bad").status, p::kLogonLocked);
  EXPECT_EQ(Cell("select NTRYLGN from UUSR where CCODE = 'bob'"), "5");
  for (Engine* engine : {engine_.get(), other_.get()}) {
    EXPECT_EQ(verify(engine == other_.get(), "bob-pw1").status, p::kLogonLocked);
    std::string error;
    auto session = engine->NewSession("test", &error);
    EXPECT_EQ(Logon(*session, "bob", "bob-pw1").status, p::kLogonLocked);
  }
}

TEST_F(SeveralServersTest, ConcurrentFailuresThroughBothServersAreAllCounted) {
  ASSERT_TRUE(db_->Exec("update hrz_private.SRV_SETTING set CVALUE = '1000' where CSECTION = "
                        "'system' and CKEY = 'Lgn Err Try'")
                  .ok());
  constexpr int kEach = 12;
  std::unique_ptr<Session> adms[] = {LoggedOnAt(*engine_, "adm", kAdminPassword),
                                     LoggedOnAt(*other_, "adm", kAdminPassword)};
  // Sealed beforehand: the fixture's sealing keeps per-session counts that threads would share.
  std::vector<std::string> sealed[2];
  for (int server = 0; server < 2; ++server) {
    for (int i = 0; i < kEach; ++i) sealed[server].push_back(Seal(*adms[server], "bad"));
  }
  std::vector<std::uint8_t> statuses[2];
  auto run = [&](int server) {
    for (const std::string& password : sealed[server]) {
      const Answer answer =
          Send(*adms[server], p::kVerifyPassword, PasswordBody("grace", password));
      statuses[server].push_back(answer.status);
    }
  };
  std::thread first(run, 0), second(run, 1);
  first.join();
  second.join();
  for (const auto& each : statuses) {
    EXPECT_EQ(each, std::vector<std::uint8_t>(kEach, p::kLogonWrong));
  }
  EXPECT_EQ(Cell("select NTRYLGN from UUSR where CCODE = 'grace'"), std::to_string(2 * kEach));
}

TEST_F(SeveralServersTest, AChangeThroughOneServerIsAnsweredAtOnceByTheOther) {
  auto admA = LoggedOnAt(*engine_, "adm", kAdminPassword);
  auto admB = LoggedOnAt(*other_, "adm", kAdminPassword);

  // A password set through A is the one B checks.
  ASSERT_EQ(Send(*admA, p::kSetPassword, PasswordBody("carol", Seal(*admA, "carol-new"))).status,
            p::kPasswordSet);
  EXPECT_EQ(Send(*admB, p::kVerifyPassword, PasswordBody("carol", Seal(*admB, "carol-pw1"))).status,
            p::kLogonWrong);
  EXPECT_EQ(Send(*admB, p::kVerifyPassword, PasswordBody("carol", Seal(*admB, "carol-new"))).status,
            p::kLogonOk);

  // A privilege granted through A, in its two steps, is the one B answers.
  auto privilege = [&] {
    wire::BodyWriter body;
    body.PutInt32(kCarol);
    body.PutText("KQWAIFA");
    const Answer answer = Send(*admB, p::kFuncPvg, body.Finish());
    std::int32_t view = -1, modify = -1;
    auto fields = answer.Fields();
    if (answer.status == p::kOk) {
      EXPECT_TRUE(fields.NextInt32(&view) && fields.NextInt32(&modify));
    }
    return std::to_string(view) + "," + std::to_string(modify);
  };
  EXPECT_EQ(privilege(), "0,0");
  wire::BodyWriter marks;
  marks.PutInt32(kCarol);
  marks.PutTextZ("XXXXXXV");
  ASSERT_EQ(Send(*admA, p::kSavePrivileges, marks.Finish()).status, p::kPrivilegeMarksTaken);
  Bytes next(p::kHeaderSize, 0);
  next[p::kClassByte] = p::kSavePrivilegesNext.cls;
  next[p::kGroupByte] = p::kSavePrivilegesNext.group;
  next[p::kCodeByte] = p::kSavePrivilegesNext.code;
  wire::WriteInt32(&next[p::kExchangeNodeByte], kCarol);
  wire::WriteInt32(&next[p::kExchangeNumberByte], 1);  // the session's first exchange
  wire::BodyWriter grantors;
  const Bytes none(4 * 7, 0);
  grantors.PutBytes(none.data(), none.size());
  const Bytes grantorBody = grantors.Finish();
  next.insert(next.end(), grantorBody.begin(), grantorBody.end());
  ASSERT_EQ(SendRaw(*admA, next).status, p::kPrivilegesSaved);
  EXPECT_EQ(privilege(), "1,0");

  // A code changed through A is found, and the old one free, through B.
  ASSERT_EQ(
      Send(*admA, p::kRecordSaveLast, SaveBody(UpdateOf(kCarol), {Entry("UUSR.CCODE", "carola")}))
          .status,
      p::kRecordSaved);
  wire::BodyWriter carola, carol;
  carola.PutText("carola");
  carol.PutText("carol");
  const Answer held = Send(*admB, p::kFindCode, carola.Finish());
  EXPECT_EQ(held.status, p::kCodeHeld);
  std::int32_t holder = 0;
  EXPECT_TRUE(held.Fields().NextInt32(&holder));
  EXPECT_EQ(holder, kCarol);
  EXPECT_EQ(Send(*admB, p::kFindCode, carol.Finish()).status, p::kCodeFree);
}

}  // namespace
}  // namespace hrztest
