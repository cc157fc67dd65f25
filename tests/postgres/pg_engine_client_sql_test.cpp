// The query and execute requests of an engine whose store is on PostgreSQL, frame by frame,
// beside the same requests on the SQLite store it was copied from: the same replies, the same
// audit rows, the statuses of the time limit and of a result too large, a client that goes
// mid-statement, and client SQL's connection following the session's logon.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "hrzcommon/result_set.h"
#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"
#include "support/engine_fixture.h"
#include "support/pg_cluster.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
using Session = hrzsrv::Session;

// Counts to a hundred thousand million: stopped long before its end, and allowed as client SQL.
constexpr const char* kEndless = "select count(*) from generate_series(1, 100000000000)";

hrz::wire::Bytes SqlBody(const std::string& sql) {
  hrz::wire::BodyWriter body;
  body.PutLong(sql);
  return body.Finish();
}

enum class Who { kAdmin, kUser };

// The column names of a query's reply, then its cells as "type:text".
std::vector<std::string> ReplyCells(const Answer& answer) {
  std::string payload;
  hrz::wire::ResultSet set;
  EXPECT_TRUE(answer.Fields().NextLong(&payload, p::kMaxResultPayload));
  EXPECT_TRUE(hrz::wire::DecodeResultSet(std::move(payload), &set));
  std::vector<std::string> out(set.names.begin(), set.names.end());
  for (const hrz::wire::ResultCell& cell : set.cells) {
    out.push_back(std::to_string(cell.type) + ":" + std::string(set.Text(cell)));
  }
  return out;
}

// The one action of audit rows written as PgAudit writes them; "mixed" when they differ.
std::string ActionsOf(const std::string& rows) {
  std::string action;
  std::istringstream lines(rows);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t from = line.find('|') + 1;
    const std::string own = line.substr(from, line.find('|', from) - from);
    if (!action.empty() && own != action) return "mixed";
    action = own;
  }
  return action;
}

class PgEngineClientSqlTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (HasFatalFailure()) return;
    NewTestDatabase(&location_);
    if (location_.empty()) return;
    std::string error;
    // The SQLite sessions log on before the copy, so that both stores hold their logons.
    sqlite_[Who::kAdmin] = LoggedOn("adm", kAdminPassword);
    sqlite_[Who::kUser] = LoggedOn("bob", "bob-pw1");
    ASSERT_TRUE(hrzsrv::MigrateToPostgres(path_, location_, nullptr, &error)) << error;
    sqliteEngine_ = std::move(engine_);
    engine_ = OpenPgEngine({});
    ASSERT_NE(engine_, nullptr);
    owner_ = hrzsrv::pg::Connection::Open(location_, &error);
    ASSERT_NE(owner_, nullptr) << error;
  }

  std::unique_ptr<hrzsrv::Engine> OpenPgEngine(hrzsrv::EngineLimits limits) {
    std::string error;
    std::unique_ptr<hrzsrv::Engine> engine =
        hrzsrv::Engine::Open(location_, clock_, &error, limits);
    EXPECT_NE(engine, nullptr) << error;
    return engine;
  }

  std::unique_ptr<Session> LoggedOnTo(hrzsrv::Engine& engine, const std::string& code,
                                      const std::string& password) {
    std::string error;
    std::unique_ptr<Session> session = engine.NewSession("test", &error);
    EXPECT_NE(session, nullptr) << error;
    if (session) {
      EXPECT_EQ(Logon(*session, code, password).status, p::kLogonOk) << code;
    }
    return session;
  }

  // The audit rows after since on either store, one a line (the time left out).
  static constexpr const char* kAuditRow =
      "NUSER || '|' || CACTION || '|' || coalesce(CTABLE, '') || '|' || coalesce(NTARGET, -1) || "
      "'|' || coalesce(CVALUE, '') || '|' || coalesce(CTEXT, '')";
  std::string PgAudit(std::int64_t since) {
    const hrzsrv::pg::Result rows =
        owner_->Exec(std::string("SELECT string_agg(") + kAuditRow +
                         ", E'\\n' ORDER BY NID) FROM hrz_private.SRV_LOG WHERE NID > $1",
                     {hrzsrv::pg::Param::Int(since)});
    EXPECT_TRUE(rows.ok()) << rows.error();
    return rows.ok() && !rows.IsNull(0, 0) ? rows.Text(0, 0) : "";
  }
  std::string SqliteAudit(std::int64_t since) {
    const std::string rows =
        StoreText(std::string("SELECT group_concat(row, char(10)) FROM (SELECT ") + kAuditRow +
                  " AS row FROM SRV_LOG WHERE NID > " + std::to_string(since) + " ORDER BY NID)");
    return rows == "<null>" ? "" : rows;
  }
  std::int64_t PgLastAudit() {
    return owner_->Exec("SELECT coalesce(max(NID), 0) FROM hrz_private.SRV_LOG")
        .Int(0, 0)
        .value_or(-1);
  }
  std::int64_t SqliteLastAudit() {
    return std::stoll(StoreText("SELECT coalesce(max(NID), 0) FROM SRV_LOG"));
  }

  // The roles of the client SQL connections open on the database now ("admin" or "other"),
  // once PostgreSQL has seen those that closed end; the list it holds after a few seconds.
  std::string ClientRoles(const std::string& expected) {
    std::string roles;
    for (int i = 0; i < 100; ++i) {
      const hrzsrv::pg::Result rows = owner_->Exec(
          "SELECT coalesce(string_agg(CASE WHEN l.NADMIN THEN 'admin' ELSE 'other' END, ',' "
          "ORDER BY l.NADMIN DESC), '') FROM pg_stat_activity a JOIN "
          "hrz_private.SRV_CLIENT_LOGIN l ON l.CROLE = a.usename WHERE a.datname = "
          "current_database()");
      EXPECT_TRUE(rows.ok()) << rows.error();
      roles = rows.ok() ? rows.Text(0, 0) : "<failed>";
      if (roles == expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return roles;
  }

  std::string location_;
  std::unique_ptr<hrzsrv::pg::Connection> owner_;
  std::unique_ptr<hrzsrv::Engine> sqliteEngine_;  // outlives the SQLite sessions below
  std::map<Who, std::unique_ptr<Session>> sqlite_;
};

struct SideBySide {
  Who who;
  p::Kind kind;
  std::string sql;
  std::uint8_t status;
  const char* text = nullptr;     // kFailed: the start of the reason
  int changes = -1;               // an execute that ran: the rows it changed
  const char* audited = nullptr;  // the action of every audit row the request writes, if any
};

TEST_F(PgEngineClientSqlTest, RequestsAreAnsweredAndAuditedAsOnSqlite) {
  std::map<Who, std::unique_ptr<Session>> pg;
  pg[Who::kAdmin] = LoggedOn("adm", kAdminPassword);
  pg[Who::kUser] = LoggedOn("bob", "bob-pw1");
  const SideBySide cases[] = {
      {Who::kAdmin, p::kQuery, "select * from UUSR order by NID", p::kOk},
      {Who::kUser, p::kQuery,
       "select NID, CCODE, CNAME, NSTAT from UUSR where NID > 300 order by NID", p::kOk},
      {Who::kUser, p::kQuery, "select * from UUSRBM order by NID", p::kOk},
      {Who::kUser, p::kQuery, "select * from UUSR where 1 = 0", p::kOk},
      {Who::kAdmin, p::kExecute, "update UUSR set CNAME = 'Bob B.' where NID = 309", p::kOk,
       nullptr, 1},
      {Who::kAdmin, p::kExecute, "update UUSR set CCODE = 'robert' where NID = 309", p::kOk,
       nullptr, 1, "RIGHTS CHANGED"},
      {Who::kAdmin, p::kExecute, "insert into UUSRBM(NPID, NCID) values(304, 309)", p::kOk, nullptr,
       1, "RIGHTS CHANGED"},
      {Who::kUser, p::kExecute, "update UUSR set FDWGX = 1.5, FDWGY = 2 where NID = 309", p::kOk,
       nullptr, 1},
      {Who::kAdmin, p::kExecute, "update UUSR set NTRYLGN = 7 where 1 = 0", p::kOk, nullptr, 0},
      // Refused for the statement, for a row, and by the organisation's rules.
      {Who::kUser, p::kExecute, "update UUSR set CNAME = 'x' where NID = 309", p::kFailed,
       "refused: no right to change UUSR.CNAME", -1, "REFUSED"},
      {Who::kUser, p::kQuery, "delete from UUSRBM where NCID = 309", p::kFailed, "refused: ", -1,
       "REFUSED"},
      {Who::kAdmin, p::kExecute, "update UUSR set NSTAT = 254 where NID = 1", p::kFailed,
       "refused: ", -1, "REFUSED"},
      {Who::kAdmin, p::kExecute, "delete from UUSRBM where NCID = 2", p::kFailed, "refused: ", -1,
       "REFUSED"},
      // Text that is no statement, or too much of one.
      {Who::kUser, p::kQuery, " ; ", p::kFailed, "empty SQL"},
      {Who::kUser, p::kExecute, "select 1; select 2", p::kFailed, "one statement per request"},
      {Who::kUser, p::kQuery, "select 1" + std::string(p::kMaxSqlText, ' '), p::kSqlTooLong},
      {Who::kAdmin, p::kQuery, "select * from UUSR order by NID", p::kOk},
  };
  for (const SideBySide& c : cases) {
    SCOPED_TRACE(c.sql.substr(0, 80));
    const std::int64_t pgSince = PgLastAudit(), sqliteSince = SqliteLastAudit();
    const Answer onSqlite = Send(*sqlite_[c.who], c.kind, SqlBody(c.sql));
    const Answer onPg = Send(*pg[c.who], c.kind, SqlBody(c.sql));
    EXPECT_EQ(onSqlite.status, c.status) << onSqlite.FirstText();
    ASSERT_EQ(onPg.status, c.status) << onPg.FirstText();
    if (c.status == p::kOk && c.changes < 0) {
      EXPECT_EQ(ReplyCells(onPg), ReplyCells(onSqlite));
    } else {
      EXPECT_EQ(onPg.body, onSqlite.body) << onPg.FirstText() << " / " << onSqlite.FirstText();
    }
    if (c.text != nullptr) {
      EXPECT_TRUE(onPg.FirstText().starts_with(c.text)) << onPg.FirstText();
    }
    if (c.changes >= 0) {
      std::int32_t changes = -1;
      EXPECT_TRUE(onPg.Fields().NextInt32(&changes));
      EXPECT_EQ(changes, c.changes);
    }
    const std::string audit = PgAudit(pgSince);
    EXPECT_EQ(audit, SqliteAudit(sqliteSince));
    EXPECT_EQ(ActionsOf(audit), c.audited ? c.audited : "") << audit;
  }
  // The refusals changed nothing: bob's name is the administrator's, his links as they were.
  EXPECT_EQ(owner_->Exec("SELECT CNAME || ':' || CCODE FROM UUSR WHERE NID = 309").Text(0, 0),
            "Bob B.:robert");
  EXPECT_EQ(owner_->Exec("SELECT count(*) FROM UUSRBM WHERE NCID IN (2, 309)").Text(0, 0),
            StoreText("SELECT count(*) FROM UUSRBM WHERE NCID IN (2, 309)"));
}

TEST_F(PgEngineClientSqlTest, AStatementStopsAtTheTimeLimitAndAResultAtItsSizeAndTheSessionGoesOn) {
  hrzsrv::EngineLimits limits;
  limits.statementTimeLimit = std::chrono::milliseconds(300);
  std::unique_ptr<hrzsrv::Engine> hasty = OpenPgEngine(limits);
  ASSERT_NE(hasty, nullptr);
  std::unique_ptr<Session> adm = LoggedOnTo(*hasty, "adm", kAdminPassword);
  ASSERT_NE(adm, nullptr);
  const std::string slowUpdate =
      std::string("update UUSR set NPA = 77 where NID in (") + kEndless + ")";
  const struct {
    p::Kind kind;
    std::string sql;
    std::uint8_t status;
  } cases[] = {
      {p::kQuery, kEndless, p::kTimeLimit},
      {p::kExecute, slowUpdate, p::kTimeLimit},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(Send(*adm, c.kind, SqlBody(c.sql)).status, c.status);
    // The session goes on after each.
    const Answer next = Send(*adm, p::kQuery, SqlBody("select count(*) from UUSR"));
    EXPECT_EQ(next.status, p::kOk) << next.FirstText();
  }
  EXPECT_EQ(owner_->Exec("SELECT count(*) FROM UUSR WHERE NPA = 77").Text(0, 0), "0");

  // 60 MB of rows take longer than the short limit: the fixture's engine has time for them.
  std::unique_ptr<Session> bob = LoggedOn("bob", "bob-pw1");
  const std::string rows = "select repeat('x', 1000000) from generate_series(1, ";
  EXPECT_EQ(Send(*bob, p::kQuery, SqlBody(rows + "60)")).status, p::kResultTooLarge);
  const Answer within = Send(*bob, p::kQuery, SqlBody(rows + "40)"));
  ASSERT_EQ(within.status, p::kOk) << within.FirstText();
  EXPECT_EQ(ReplyCells(within).size(), 41u);
}

TEST_F(PgEngineClientSqlTest, AClientThatGoesStopsItsStatement) {
  // A limit far beyond the wait: the statement can only stop because its client went.
  hrzsrv::EngineLimits limits;
  limits.statementTimeLimit = std::chrono::minutes(2);
  std::unique_ptr<hrzsrv::Engine> patient = OpenPgEngine(limits);
  ASSERT_NE(patient, nullptr);
  std::unique_ptr<Session> alice = LoggedOnTo(*patient, "alice", "alice-pw1");
  ASSERT_NE(alice, nullptr);
  ASSERT_EQ(Send(*alice, p::kQuery, SqlBody("select 1")).status, p::kOk);
  std::thread leaving([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    alice->ClientGone();
  });
  const Answer stopped = Send(*alice, p::kQuery, SqlBody(kEndless));
  leaving.join();
  EXPECT_EQ(stopped.status, p::kFailed) << stopped.FirstText();
  EXPECT_EQ(owner_
                ->Exec("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                       "AND state = 'active' AND query LIKE '%generate_series%' AND pid <> "
                       "pg_backend_pid()")
                .Text(0, 0),
            "0");
  const Answer after = Send(*alice, p::kQuery, SqlBody("select 1"));
  EXPECT_EQ(after.status, p::kFailed);
  EXPECT_EQ(after.FirstText(), "the client has gone");

  // A client gone before the session's first statement: its connection opens stopped.
  std::unique_ptr<Session> bob = LoggedOnTo(*patient, "bob", "bob-pw1");
  ASSERT_NE(bob, nullptr);
  bob->ClientGone();
  const Answer refused = Send(*bob, p::kQuery, SqlBody("select 1"));
  EXPECT_EQ(refused.status, p::kFailed);
  EXPECT_EQ(refused.FirstText(), "the client has gone");
}

TEST_F(PgEngineClientSqlTest, ClientSqlsConnectionFollowsTheSessionsLogon) {
  std::unique_ptr<Session> session = LoggedOn("adm", kAdminPassword);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(ClientRoles(""), "") << "opened on the first statement, not at the logon";
  ASSERT_EQ(Send(*session, p::kQuery, SqlBody("select 1")).status, p::kOk);
  EXPECT_EQ(ClientRoles("admin"), "admin");
  // The same session logs on as bob: the administrator's connection closes with the logon.
  ASSERT_EQ(Logon(*session, "bob", "bob-pw1").status, p::kLogonOk);
  EXPECT_EQ(ClientRoles(""), "");
  const Answer insert =
      Send(*session, p::kExecute, SqlBody("insert into UUSR(CCODE, CSRC) values('x', 'UUSRI')"));
  EXPECT_EQ(insert.status, p::kFailed);
  EXPECT_EQ(insert.FirstText(), "refused: only the administrator inserts into UUSR");
  EXPECT_EQ(ClientRoles("other"), "other");
  ASSERT_EQ(Send(*session, p::kLogoff, {}).status, p::kOk);
  EXPECT_EQ(ClientRoles(""), "");
  EXPECT_EQ(Send(*session, p::kQuery, SqlBody("select 1")).status, p::kNotLoggedOn);
}

}  // namespace
}  // namespace hrztest
