// Client SQL on a PostgreSQL store, side by side with the same statements on the SQLite store
// it was copied from: the same allow or refuse, the same message, the same audit of refusals
// and rights changes; and what PostgreSQL would allow a client role that SQLite refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "hrzcommon/result_set.h"
#include "hrzserver/pg_store.h"
#include "pg_client_sql.h"
#include "support/engine_fixture.h"
#include "support/pg_cluster.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
using hrzsrv::PgClientOutcome;
using hrzsrv::PgClientSql;
using hrzsrv::Rights;
using Status = PgClientOutcome::Status;

enum class Who { kAdmin, kManager, kUser };

// grace is made a manager ("UUSR" modify) before the copy; bob holds no privilege.
constexpr const char* kManagerGrant =
    "INSERT OR REPLACE INTO SRV_PRIVILEGE(NID, CPVG, BGRANTORS) VALUES(314, 'XM', zeroblob(8))";

hrz::wire::Bytes SqlBody(const std::string& sql) {
  hrz::wire::BodyWriter body;
  body.PutLong(sql);
  return body.Finish();
}

class PgClientSqlTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (HasFatalFailure()) return;
    NewTestDatabase(&location_);
    if (location_.empty()) return;
    // Logons write the client's version: the copy comes after them.
    WriteStore(path_, kManagerGrant);
    sqlite_[Who::kAdmin] = LoggedOn("adm", kAdminPassword);
    sqlite_[Who::kManager] = LoggedOn("grace", "grace-pw1");
    sqlite_[Who::kUser] = LoggedOn("bob", "bob-pw1");
    std::string error;
    ASSERT_TRUE(hrzsrv::MigrateToPostgres(path_, location_, nullptr, &error)) << error;
    owner_ = hrzsrv::pg::Connection::Open(location_, &error);
    ASSERT_NE(owner_, nullptr) << error;
    for (const Who who : {Who::kAdmin, Who::kManager, Who::kUser}) {
      ASSERT_NE(sqlite_[who], nullptr);
      pg_[who] = OpenClient(who == Who::kAdmin);
      ASSERT_NE(pg_[who], nullptr);
    }
  }

  std::unique_ptr<PgClientSql> OpenClient(
      bool admin, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    std::string error;
    std::unique_ptr<PgClientSql> client =
        PgClientSql::Open(*owner_, location_, admin, limit, &error);
    EXPECT_NE(client, nullptr) << error;
    return client;
  }

  static Rights RightsOf(Who who) {
    switch (who) {
      case Who::kAdmin:
        return {1, true, true};
      case Who::kManager:
        return {314, false, true};
      case Who::kUser:
        return {309, false, false};
    }
    return {};
  }

  PgClientOutcome RunPg(Who who, const std::string& sql,
                        hrz::wire::ResultSetWriter* result = nullptr) {
    return pg_[who]->Run(*owner_, RightsOf(who), sql, result);
  }

  // The newest audit row of action on the SQLite store after row since, as "table|target|text".
  std::string SqliteAudit(const std::string& action, int since) {
    const std::vector<std::string> rows = StoreRows(
        path_, "SELECT CTABLE, NTARGET, CVALUE, CTEXT FROM SRV_LOG WHERE NID > " +
                   std::to_string(since) + " AND CACTION = '" + action + "' ORDER BY NID");
    std::string all;
    for (const std::string& row : rows) all += row + "\n";
    return all;
  }
  int LastAudit() { return std::stoi(StoreText("SELECT coalesce(max(NID), 0) FROM SRV_LOG")); }

  std::string location_;
  std::unique_ptr<hrzsrv::pg::Connection> owner_;
  std::map<Who, std::unique_ptr<hrzsrv::Session>> sqlite_;
  std::map<Who, std::unique_ptr<PgClientSql>> pg_;
};

const char* NameOf(Who who) {
  return who == Who::kAdmin ? "adm" : who == Who::kManager ? "grace (manager)" : "bob";
}

struct Case {
  Who who;
  const char* sql;
  bool allowed;
  // Where PostgreSQL refuses with another message: its message (no audit is compared).
  const char* pgMessage = nullptr;
};

TEST_F(PgClientSqlTest, EachSessionIsAllowedAndRefusedAsOnSqliteWithTheSameMessageAndAudit) {
  const Case cases[] = {
      {Who::kUser, "select CCODE, NSTAT from UUSR where NID = 309", true},
      // SQLite names the column read; the check before PostgreSQL names what was written.
      {Who::kUser, "select CHASH from SRV_PASSWORD", false, "access to SRV_PASSWORD is prohibited"},
      // The statement's columns, even when no row matches.
      {Who::kUser, "update UUSR set CNAME = 'x' where NID = 309", false},
      {Who::kUser, "update UUSR set CNAME = 'x' where 1 = 0", false},
      {Who::kUser, "update UUSR set NPWDDAYS = 30 where NID = 309", false},
      {Who::kManager, "update UUSR set NPWDDAYS = 30 where NID = 309", true},
      {Who::kManager, "update UUSRFN set NFNCHR = 1 where NID = 1", false},
      {Who::kUser, "insert into UUSR(CCODE, CSRC) values('x', 'UUSRI')", false},
      {Who::kManager, "delete from UUSRBM where NCID = 309", false},
      {Who::kUser, "delete from UUSR where 1 = 0", false},
      {Who::kAdmin, "insert into UUSR(CCODE, CSRC) values('newbie', 'UUSRI')", true},
      {Who::kAdmin, "update UUSR set CNAME = 'Bob B.' where NID = 309", true},
      {Who::kManager, "update UUSR set CCODE = 'ivan' where NID = 318", true},  // unchanged
      {Who::kManager, "update UUSR set CCODE = 'ALICE' where NID = 308", false},
      // Own-row columns: the user's own row only, signature names only cleared.
      {Who::kUser, "update UUSR set FDWGX = 1.5, FDWGY = 2 where NID = 309", true},
      {Who::kUser, "update UUSR set FDWGX = 1.5 where NID = 308", false},
      {Who::kManager, "update UUSR set FDWGH = 3 where NID = 309", false},
      {Who::kUser, "update UUSR set CBMPSG = null where NID = 309", true},
      {Who::kUser, "update UUSR set CDWGSG = 'x.dwg' where NID = 309", false},
      // A manager's login IP lists: others' rows, never its own.
      {Who::kManager, "update UUSR set CLGNIP = '10.0.0.*' where NID = 309", true},
      {Who::kManager, "update UUSR set CLGNIP = '10.0.0.*' where NID = 314", false},
      {Who::kUser, "update UUSR set CLGNIP = '10.0.0.*' where NID = 308", false},
      // The values a manager may write: clearing, restoring, limits.
      {Who::kManager, "update UUSR set NTRYLGN = null, DTRYLGNTM = null where NID = 312", true},
      {Who::kManager, "update UUSR set NTRYLGN = 5 where NID = 309", false},
      {Who::kManager, "update UUSR set NSTAT = 255, CCODE = 'frankie' where NID = 313", false},
      {Who::kManager, "update UUSR set NSTAT = 255, CCODE = 'frank' where NID = 313", true},
      {Who::kManager, "update UUSR set NSTAT = 254 where NID = 309", false},
      {Who::kManager, "update UUSR set NWFMAXTM = -1 where NID = 309", false},
      {Who::kManager, "update UUSR set NWFMAXTM = 2147483647, NWFMAXCNT = 0 where NID > 300", true},
      {Who::kManager, "update UUSR set NWFMAXCNT = 2147483648 where NID = 309", false},
      {Who::kManager, "update UUSR set NTRYLGN = 7", false},
      // The administrator's record and the organisation's root, for the administrator too.
      {Who::kAdmin, "update UUSR set CCODE = 'root' where NID = 1", false},
      {Who::kAdmin, "update UUSR set CSRC = 'UUSRO' where NID = 1", false},
      {Who::kAdmin, "update UUSR set NID = 999 where NID = 1", false},
      // SQLite's unique key answers before its hook sees the row; PostgreSQL's trigger first.
      {Who::kAdmin, "update UUSR set NID = 1 where NID = 309", false,
       "refused: the administrator's NID is reserved"},
      {Who::kAdmin, "update UUSR set CLGNIP = '1.2.3.4' where NID = 1", false},
      {Who::kAdmin, "update UUSR set NSTAT = 254 where NID = 1", false},
      {Who::kAdmin, "delete from UUSR where NID = 1", false},
      {Who::kAdmin, "update UUSR set CCODE = ' ADM' where NID = 309", false},
      {Who::kAdmin, "update UUSR set CSRC = 'UROLE' where NID = 2", false},
      {Who::kAdmin, "update UUSR set NSTAT = 254 where NID = 2", false},
      {Who::kAdmin, "delete from UUSR where NID = 2", false},
      // Catalogue positions past the last mark a privilege string holds.
      {Who::kAdmin, "update UUSRFN set NFNCHR = 512 where NID = 13", false},
      {Who::kAdmin, "update UUSRFN set NFNCHR = 511 where NID = 13", true},
      // The organisation's own rules, for every writer.
      {Who::kManager, "update UUSRBM set NPID = 316 where NCID = 303", false},
      {Who::kManager, "update UUSRBM set NPID = 301 where NCID = 303", true},
      {Who::kAdmin, "delete from UUSRBM where NCID = 2", false},
      {Who::kAdmin, "insert into UUSRBM(NPID, NCID) values(308, 309)", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(NameOf(c.who)) + ": " + c.sql);
    const int since = LastAudit();
    const Answer sqlite = Send(*sqlite_[c.who], p::kExecute, SqlBody(c.sql));
    const PgClientOutcome pg = RunPg(c.who, c.sql);
    ASSERT_EQ(sqlite.status == p::kOk, c.allowed) << sqlite.FirstText();
    EXPECT_EQ(pg.status == Status::kDone, c.allowed) << pg.error;
    if (c.pgMessage != nullptr) {
      EXPECT_EQ(pg.error, c.pgMessage);
    } else if (!c.allowed) {
      EXPECT_EQ(pg.error, sqlite.FirstText());
      // The refusal's audit row: its table and NID, and the reason before the statement.
      std::string audited;
      if (pg.refusal) {
        audited = "3:" + pg.refusal->table + "|1:" + std::to_string(pg.refusal->target) +
                  "|3:client SQL|3:" + pg.refusal->reason + ": " + c.sql + "|\n";
      }
      EXPECT_EQ(audited, SqliteAudit("REFUSED", since));
    } else if (std::string_view(c.sql).starts_with("select")) {
      EXPECT_EQ(pg.changes, 0);
    } else {
      std::int32_t changes = -1;
      ASSERT_TRUE(sqlite.Fields().NextInt32(&changes));
      EXPECT_EQ(pg.changes, changes);
    }
  }
  // Both stores hold the same organisation afterwards.
  const hrzsrv::pg::Result users = owner_->Exec(
      "SELECT string_agg(NID || ':' || CCODE || ':' || coalesce(NSTAT::text, '') || "
      "':' || coalesce(CLGNIP, '') || ':' || coalesce(NTRYLGN::text, ''), ',' ORDER "
      "BY NID) FROM UUSR");
  EXPECT_EQ(users.Text(0, 0),
            StoreText("SELECT group_concat(NID || ':' || CCODE || ':' || coalesce(NSTAT, '') || "
                      "':' || coalesce(CLGNIP, '') || ':' || coalesce(NTRYLGN, ''), ',') FROM "
                      "(SELECT * FROM UUSR ORDER BY NID)"));
}

// Cells of a result as "type:text", row by row, after its column names.
std::vector<std::string> Decoded(std::string payload) {
  hrz::wire::ResultSet set;
  EXPECT_TRUE(hrz::wire::DecodeResultSet(std::move(payload), &set));
  std::vector<std::string> out(set.names.begin(), set.names.end());
  for (const hrz::wire::ResultCell& cell : set.cells) {
    out.push_back(std::to_string(cell.type) + ":" + std::string(set.Text(cell)));
  }
  return out;
}

TEST_F(PgClientSqlTest, QueriesGiveTheSqliteStoresColumnsAndCells) {
  for (const char* sql :
       {"select * from UUSR order by NID", "select * from UUSRBM order by NID",
        "select * from UUSRFN order by NID", "select * from USETUPINFO order by NID"}) {
    SCOPED_TRACE(sql);
    const Answer sqlite = Send(*sqlite_[Who::kUser], p::kQuery, SqlBody(sql));
    ASSERT_EQ(sqlite.status, p::kOk);
    std::string payload;
    ASSERT_TRUE(sqlite.Fields().NextLong(&payload, p::kMaxResultPayload));
    hrz::wire::ResultSetWriter result;
    const PgClientOutcome pg = RunPg(Who::kUser, sql, &result);
    ASSERT_EQ(pg.status, Status::kDone) << pg.error;
    const std::vector<std::string> expected = Decoded(payload);
    EXPECT_GE(expected.size(), 40u) << "the sample has rows to compare";
    const std::vector<std::string> got = Decoded(result.Finish());
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << "cell " << i;
  }
  // A table's column comes back in upper case however it was written; aliases and
  // expressions keep PostgreSQL's names, which differ from SQLite's.
  hrz::wire::ResultSetWriter result;
  ASSERT_EQ(RunPg(Who::kUser, "select ccode, NID as n, count(*) over () from UUSR where NID = 308",
                  &result)
                .status,
            Status::kDone);
  EXPECT_EQ(Decoded(result.Finish()),
            (std::vector<std::string>{"CCODE", "n", "count", "3:alice", "1:308", "1:1"}));
}

TEST_F(PgClientSqlTest, RightsChangesAreNotedAsOnSqlite) {
  const Case statements[] = {
      {Who::kAdmin, "update UUSR set CCODE = 'robert', CNAME = 'R' where NID = 309", true},
      {Who::kAdmin, "insert into UUSRBM(NPID, NCID) values(304, 309)", true},
      {Who::kManager, "update UUSRBM set NPID = 305 where NCID = 309 and NPID = 304", true},
      {Who::kAdmin, "delete from UUSRBM where NCID = 309 and NPID = 305", true},
      {Who::kAdmin, "update UUSRFN set CCODE = 'UFUNCPVG2', NFNCHR = 14 where NID = 1", true},
      {Who::kManager, "update UUSR set NSTAT = 255, CCODE = 'frank' where NID = 313", true},
      {Who::kAdmin, "insert into UUSR(CCODE, CSRC) values('newbie', 'UUSRI')", true},
      {Who::kUser, "update UUSR set FDWGX = 4 where NID = 309", true},
  };
  int notes = 0;
  for (const Case& c : statements) {
    SCOPED_TRACE(c.sql);
    const int since = LastAudit();
    ASSERT_EQ(Send(*sqlite_[c.who], p::kExecute, SqlBody(c.sql)).status, p::kOk);
    const PgClientOutcome pg = RunPg(c.who, c.sql);
    ASSERT_EQ(pg.status, Status::kDone) << pg.error;
    std::string noted;
    for (const hrzsrv::RightsNote& note : pg.notes) {
      noted += "3:" + note.table + "|1:" + std::to_string(note.target) + "|3:" + note.what +
               "|3:" + note.text + "|\n";
    }
    EXPECT_EQ(noted, SqliteAudit("RIGHTS CHANGED", since));
    notes += static_cast<int>(pg.notes.size());
  }
  EXPECT_GE(notes, 8);
  // Taken once: the store keeps no note and no rights row of the connection afterwards.
  EXPECT_EQ(owner_
                ->Exec("SELECT (SELECT count(*) FROM hrz_private.SRV_CLIENT_NOTE) + "
                       "(SELECT count(*) FROM hrz_private.SRV_CLIENT_SESSION)")
                .Int(0, 0),
            0);
}

struct Refusal {
  const char* sql;
  const char* message;  // the start of the answer; null: the statement runs
};

TEST_F(PgClientSqlTest, RefusesWhatSqliteRefusesAndAClientRoleCouldOtherwiseDo) {
  const Refusal refusals[] = {
      {"begin", "refused: BEGIN is not client SQL"},
      {"COMMIT", "refused: COMMIT is not client SQL"},
      {"start transaction", "refused: START is not client SQL"},
      {"savepoint a", "refused: SAVEPOINT is not client SQL"},
      {"set statement_timeout = 0", "refused: SET is not client SQL"},
      {"reset all", "refused: RESET is not client SQL"},
      {"listen news", "refused: LISTEN is not client SQL"},
      {"notify news", "refused: NOTIFY is not client SQL"},
      {"copy UUSR to stdout", "refused: COPY is not client SQL"},
      {"do $$ begin perform 1; end $$", "refused: DO is not client SQL"},
      {"lock table UUSR", "refused: LOCK is not client SQL"},
      {"prepare p as select 1", "refused: PREPARE is not client SQL"},
      {"truncate UUSRBM", "refused: TRUNCATE is not client SQL"},
      {"-- a comment first\n/* and /* nested */ */ vacuum", "refused: VACUUM is not client SQL"},
      {"select set_config('statement_timeout', '0', false)", "refused: the function set_config"},
      {"select nextval('uusr_nid_seq')", "refused: the function nextval"},
      {"select query_to_xml('set statement_timeout = 0', true, true, '')",
       "refused: the function query_to_xml"},
      {"select ts_stat('select 1')", "refused: the function ts_stat"},
      {"select lo_import('/etc/passwd')", "refused: the function lo_import"},
      {"select pg_read_file('/etc/passwd')", "access to pg_read_file is prohibited"},
      {"select * from pg_catalog.pg_roles", "access to pg_catalog is prohibited"},
      {"select * from information_schema.tables", "access to information_schema is prohibited"},
      {"select * from hrz_private.SRV_CLIENT_LOGIN", "access to hrz_private is prohibited"},
      {"select * from \"srv_client_login\"", "access to srv_client_login is prohibited"},
      {"select * from U&\"hrz\\005fprivate\".srv_key", "refused: names written with U&"},
      {"select 1; select 2", "one statement per request"},
      {"select 1; ;", nullptr},
      {" /* nothing */ ;", "empty SQL"},
      // Words inside literals, quoted text and comments are not statements.
      {"select 'begin; set x = 1' as t", nullptr},
      {"select E'it\\'s; commit' as t", nullptr},
      {"select $q$ pg_read_file( $q$ as t", nullptr},
      {"select count(*) from UUSR -- ; commit", nullptr},
      {"(select 1)", nullptr},
      {"with x as (select 1 as a) select a from x", nullptr},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.sql);
    const PgClientOutcome pg = RunPg(Who::kAdmin, r.sql);
    if (r.message == nullptr) {
      EXPECT_EQ(pg.status, Status::kDone) << pg.error;
    } else {
      EXPECT_EQ(pg.status, Status::kFailed);
      EXPECT_EQ(pg.error.rfind(r.message, 0), 0u) << pg.error;
    }
  }
  // None of them reached the session: the time limit and the numbering are as they were.
  hrz::wire::ResultSetWriter result;
  ASSERT_EQ(RunPg(Who::kAdmin, "select current_setting('statement_timeout')", &result).status,
            Status::kDone);
  EXPECT_EQ(Decoded(result.Finish()).back(), "3:30s");
}

TEST_F(PgClientSqlTest, TheRolesLoginDecidesWhatASessionRowCanGrant) {
  // A plain client connection stays plain even when the rights written say administrator.
  const PgClientOutcome lifted = pg_[Who::kUser]->Run(
      *owner_, {1, true, true}, "insert into UUSR(CCODE, CSRC) values('sneak', 'UUSRI')", nullptr);
  EXPECT_EQ(lifted.error, "refused: only the administrator inserts into UUSR");

  // A connection of a client role that the engine wrote no rights for may only read, and the
  // private schema stays closed to it, whatever the statement check would have let through.
  const hrzsrv::pg::Result login =
      owner_->Exec("SELECT CROLE FROM hrz_private.SRV_CLIENT_LOGIN ORDER BY NADMIN DESC");
  ASSERT_EQ(login.Rows(), 2);
  for (int r = 0; r < login.Rows(); ++r) {
    const std::string role = login.Text(r, 0);
    SCOPED_TRACE(role);
    std::string location = location_, error;
    location.replace(location.find("user=postgres"), 13, "user=" + role);
    std::unique_ptr<hrzsrv::pg::Connection> raw = hrzsrv::pg::Connection::Open(location, &error);
    ASSERT_NE(raw, nullptr) << error;
    EXPECT_TRUE(raw->Exec("SELECT count(*) FROM UUSR").ok());
    const hrzsrv::pg::Result update = raw->Exec("UPDATE UUSR SET CNAME = 'x' WHERE NID = 309");
    EXPECT_EQ(update.sqlState(), "42501");
    EXPECT_NE(update.error().find("no right to change UUSR.CNAME"), std::string::npos)
        << update.error();
    for (const char* sql :
         {"SELECT * FROM hrz_private.SRV_CLIENT_SESSION", "CREATE TABLE mine(a int)",
          "CREATE TEMP TABLE mine(a int)", "CREATE SCHEMA mine"}) {
      EXPECT_EQ(raw->Exec(sql).sqlState(), "42501") << sql;
    }
    EXPECT_FALSE(raw->Exec("SET session_replication_role = replica").ok())
        << "a client role could switch the rights triggers off";
  }
}

TEST_F(PgClientSqlTest, EachDatabaseHasItsOwnRolesWithPasswords) {
  std::string why, error;
  bool installed = false;
  const std::string second = PgCluster::Shared(&why, &installed)->NewDatabase();
  ASSERT_TRUE(hrzsrv::MigrateToPostgres(path_, second, nullptr, &error)) << error;
  std::unique_ptr<hrzsrv::pg::Connection> other = hrzsrv::pg::Connection::Open(second, &error);
  ASSERT_NE(other, nullptr) << error;
  const std::string roles =
      "SELECT string_agg(CROLE, ',' ORDER BY CROLE) FROM "
      "hrz_private.SRV_CLIENT_LOGIN";
  EXPECT_NE(owner_->Exec(roles).Text(0, 0), other->Exec(roles).Text(0, 0));
  // The roles log on with a password, kept by the server only as PostgreSQL's verifier.
  const hrzsrv::pg::Result verifiers = owner_->Exec(
      "SELECT count(*) FROM pg_authid a JOIN hrz_private.SRV_CLIENT_LOGIN l ON a.rolname = "
      "l.CROLE WHERE a.rolcanlogin AND a.rolpassword LIKE 'SCRAM-SHA-256$%' AND NOT a.rolsuper "
      "AND position(l.CPASSWORD IN a.rolpassword) = 0 AND length(l.CPASSWORD) >= 32");
  EXPECT_EQ(verifiers.Int(0, 0), 2) << verifiers.error();
  // The first database's sessions still run after the second was set up.
  EXPECT_EQ(RunPg(Who::kUser, "select 1").status, Status::kDone);
  EXPECT_NE(OpenClient(false), nullptr);
}

TEST_F(PgClientSqlTest, StatementsStopAtTheTimeLimitWhenTheClientGoesAndAtTheResultLimit) {
  const char* endless = "select count(*) from generate_series(1, 100000000000)";
  std::unique_ptr<PgClientSql> hasty = OpenClient(false, std::chrono::milliseconds(200));
  ASSERT_NE(hasty, nullptr);
  EXPECT_EQ(hasty->Run(*owner_, RightsOf(Who::kUser), endless, nullptr).status, Status::kTimedOut);
  EXPECT_EQ(hasty->Run(*owner_, RightsOf(Who::kUser), "select 1", nullptr).status, Status::kDone);

  hrz::wire::ResultSetWriter small;
  EXPECT_EQ(
      pg_[Who::kUser]->Run(*owner_, RightsOf(Who::kUser), "select * from UUSR", &small, 100).status,
      Status::kTooLarge);
  EXPECT_EQ(RunPg(Who::kUser, "select 1").status, Status::kDone);

  std::thread leaving([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pg_[Who::kUser]->ClientGone();
  });
  const PgClientOutcome stopped = RunPg(Who::kUser, endless);
  leaving.join();
  EXPECT_EQ(stopped.status, Status::kStopped) << stopped.error;
  EXPECT_EQ(RunPg(Who::kUser, "select 1").status, Status::kStopped);
}

}  // namespace
}  // namespace hrztest
