// Durability of record saves across a crash. Run by hand, not by ctest:
//
//   build/default/bench/durability_run [--postgres] [SAVES_BEFORE_KILL]
//                                                          (default 500 of 1,000)
//
// Makes a sample store in a temporary folder, or with --postgres in a database of a
// throw-away PostgreSQL cluster, and serves it with an hrzserver process (plain TCP on
// loopback). 20 clients save new users under QA, 50 each, all at once, each save one
// record save message (68,4,1) that writes the user row and its link. Once SAVES_BEFORE_KILL
// saves have been answered the server is killed with SIGKILL while the rest are in flight.
// The server is started again on the same store and the store is checked:
//  - every save that was answered is there, whole (the user with its name and its link);
//  - no save is there in part (a user without its link, or a name that is not its own);
//  - PRAGMA integrity_check says ok (SQLite; PostgreSQL runs on through the kill), and the
//    restarted server answers a logon and finds every save kept by a query through client
//    SQL.
// Prints the counts; exits 1 when any check fails.
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "hrzserver/pg_db.h"
#include "server_process.h"
#include "support/client_request.h"
#include "support/save_message.h"
#include "support/temp_dir.h"

namespace {

namespace p = hrz::protocol;
using hrzbench::Die;

constexpr const char* kPassword = "bench-pw";
constexpr int kClients = 20;
constexpr int kSavesPerClient = 50;
constexpr int kQa = 305;

std::string CodeOf(int client, int save) {
  return "dur" + std::to_string(client) + "x" + std::to_string(save);
}
std::string NameOf(const std::string& code) {
  return "Durable " + code;
}

struct Tally {
  std::mutex mutex;
  std::set<std::string> answered;  // saves the server said were saved
  std::atomic<int> refused{0};     // answered, but not saved
  std::atomic<int> failed{0};      // no answer: the server was gone
};

void SaveAll(tagXCliDB* db, int client, Tally* tally, hrzbench::ChildProcess* server,
             int killAfter) {
  for (int i = 0; i < kSavesPerClient; ++i) {
    const std::string code = CodeOf(client, i);
    const hrztest::SaveBytes body =
        hrztest::SaveBody(hrztest::NewUnder(kQa), {hrztest::Entry("UUSR.CCODE", code),
                                                   hrztest::Entry("UUSR.CNAME", NameOf(code)),
                                                   hrztest::Entry("UUSR.CSRC", "UUSRI")});
    const hrztest::ClientReply reply = hrztest::SendRequest(db, p::kRecordSaveLast, body);
    if (reply.status < 0) {
      ++tally->failed;
      break;  // the connection is gone with the server
    }
    if (reply.status != p::kRecordSaved) {
      ++tally->refused;
      continue;
    }
    std::size_t answered = 0;
    {
      std::lock_guard lock(tally->mutex);
      tally->answered.insert(code);
      answered = tally->answered.size();
    }
    if (answered == static_cast<std::size_t>(killAfter)) server->Kill();
  }
}

struct StoreCheck {
  int answeredMissing = 0;  // answered, not in the store whole
  int partial = 0;          // in the store in part
  int unansweredKept = 0;   // in the store whole though never answered (in flight at the kill)
  int stored = 0;
  std::string integrity;
};

using Rows = std::vector<std::vector<std::string>>;

// Rows of sql on the store, each cell as text (empty for NULL): straight from the SQLite file,
// or from PostgreSQL as the store's owner (the organisation's tables are in "public").
Rows ReadStore(const std::string& store, const std::string& sql) {
  Rows rows;
  if (store.starts_with("postgresql:")) {
    std::string error;
    const auto db = hrzsrv::pg::Connection::Open(store, &error);
    if (!db) Die(error);
    const hrzsrv::pg::Result result = db->Exec(sql);
    if (!result.ok()) Die(result.error());
    for (int r = 0; r < result.Rows(); ++r) {
      rows.emplace_back();
      for (int c = 0; c < result.Columns(); ++c) rows.back().push_back(result.Text(r, c));
    }
    return rows;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    Die("cannot open the store");
  }
  sqlite3_stmt* read = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &read, nullptr) != SQLITE_OK) Die(sqlite3_errmsg(db));
  while (sqlite3_step(read) == SQLITE_ROW) {
    rows.emplace_back();
    for (int c = 0; c < sqlite3_column_count(read); ++c) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(read, c));
      rows.back().push_back(text != nullptr ? text : "");
    }
  }
  sqlite3_finalize(read);
  sqlite3_close(db);
  return rows;
}

StoreCheck Check(const std::string& store, const std::set<std::string>& answered) {
  StoreCheck check;
  std::set<std::string> whole;
  for (const auto& row :
       ReadStore(store,
                 "select u.CCODE, u.CNAME, (select count(*) from UUSRBM b where b.NCID = "
                 "u.NID and b.NPID = 305) from UUSR u where u.CCODE like 'dur%'")) {
    ++check.stored;
    if (row[1] == NameOf(row[0]) && row[2] == "1") {
      whole.insert(row[0]);
    } else {
      ++check.partial;
    }
  }
  // Links whose user is gone are a save in part too.
  check.partial += std::atoi(ReadStore(store,
                                       "select count(*) from UUSRBM b where not exists (select "
                                       "1 from UUSR u where u.NID = b.NCID)")[0][0]
                                 .c_str());
  for (const std::string& code : answered) check.answeredMissing += whole.count(code) ? 0 : 1;
  for (const std::string& code : whole) check.unansweredKept += answered.count(code) ? 0 : 1;
  if (store.starts_with("postgresql:")) {
    check.integrity = "ok";  // the database ran on: only hrzserver was killed
  } else {
    for (const auto& row : ReadStore(store, "pragma integrity_check")) check.integrity += row[0];
  }
  return check;
}

// How many saves the restarted server finds; -1 when it does not answer.
int ServedSaves(tagXCliDB* db) {
  XCliGenRS rs(db);
  char served[32] = "";
  const bool answers = rs.Open(1, "select count(*) from UUSR where CCODE like 'dur%'") &&
                       rs.GetFieldValue(0, XCLI_TYPE_TEXT, served, sizeof served);
  return answers ? std::atoi(served) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool postgres = hrzbench::TakeFlag(&argc, argv, "--postgres");
  const int killAfter = argc > 1 ? std::atoi(argv[1]) : kClients * kSavesPerClient / 2;
  hrztest::TempDir dir;
  std::string store = dir.File("store.db");
  if (postgres) {
    store = hrzbench::MakeSamplePgStore(dir.Path(), kPassword);
  } else {
    hrzbench::MakeSampleStore(store, kPassword);
  }

  Tally tally;
  {
    hrzbench::ServerProcess server(store, true);
    // Every client is logged on before the first save, so that all of them save at once.
    std::vector<tagXCliDB*> clients;
    for (int c = 0; c < kClients; ++c) {
      clients.push_back(hrzbench::LoggedOnTo(server.location, "adm", kPassword));
    }
    hrzbench::OnClients(kClients, [&](int client) {
      SaveAll(clients[static_cast<std::size_t>(client)], client, &tally, &server.process(),
              killAfter);
    });
    for (tagXCliDB* db : clients) XCliDB_Close(db);
  }
  // Started again: it opens the store after the crash, as an operator's restart would.
  hrzbench::ServerProcess restarted(store, true);
  tagXCliDB* db = hrzbench::LoggedOnTo(restarted.location, "adm", kPassword);
  const int served = ServedSaves(db);
  XCliDB_Close(db);

  const StoreCheck check = Check(store, tally.answered);
  const int attempted = static_cast<int>(tally.answered.size()) + tally.refused + tally.failed;
  std::printf("saves sent %d of %d, answered saved %zu, answered refused %d, unanswered %d\n",
              attempted, kClients * kSavesPerClient, tally.answered.size(), tally.refused.load(),
              tally.failed.load());
  std::printf(
      "in the store: %d saves; answered but missing %d; in part %d; unanswered but kept "
      "%d\n",
      check.stored, check.answeredMissing, check.partial, check.unansweredKept);
  std::printf("integrity_check: %s; the restarted server %s (%d saves)\n", check.integrity.c_str(),
              served >= 0 ? "answers" : "does not answer", served);
  const bool ok = check.answeredMissing == 0 && check.partial == 0 && check.integrity == "ok" &&
                  served == check.stored && tally.refused == 0;
  std::printf("%s\n", ok ? "DURABLE" : "FAILED");
  return ok ? 0 : 1;
}
