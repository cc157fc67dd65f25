// A fixture that drives the engine directly, a frame at a time, on a fresh copy of the
// sample store: no transport, no client. The store is an SQLite file, or a new database of
// the test cluster when HRZ_TEST_STORE=postgresql (tests/support/README.md).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "hrzserver/engine.h"
#include "hrzserver/pg_db.h"
#include "support/stores.h"
#include "support/temp_dir.h"

namespace hrztest {

// The calendar day yyyymmdd of a moment, as the server's local time has it.
std::string LocalDay(std::time_t when);

struct Answer {
  bool received = false;  // false: no reply came
  bool closed = false;
  std::uint8_t status = 0;
  std::uint8_t group = 0;
  std::vector<std::uint8_t> body;
  hrz::wire::BodyReader Fields() const { return hrz::wire::BodyReader(body); }
  std::string FirstText() const;
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  std::unique_ptr<hrzsrv::Session> NewSession();
  Answer Send(hrzsrv::Session& session, hrz::protocol::Kind kind,
              const std::vector<std::uint8_t>& body, bool oneWay = false);
  Answer SendRaw(hrzsrv::Session& session, const std::vector<std::uint8_t>& frame);
  // plain sealed for session: its nonce and the next sequence number.
  std::string Seal(hrzsrv::Session& session, const std::string& plain);
  // plain sealed with a nonce and sequence number of the test's choosing.
  std::string SealWith(const std::vector<std::uint8_t>& nonce, std::uint32_t sequence,
                       const std::string& plain);
  // The nonce hello gives session.
  std::vector<std::uint8_t> NonceOf(hrzsrv::Session& session);
  // Logon status of code with password on session.
  Answer Logon(hrzsrv::Session& session, const std::string& code, const std::string& password);
  // A session logged on as code.
  std::unique_ptr<hrzsrv::Session> LoggedOn(const std::string& code, const std::string& password);
  // True when the engine runs on a PostgreSQL copy of the sample store.
  bool OnPostgres() const { return pg_ != nullptr; }
  // The store under test read and written straight, not through the engine, private tables
  // included. The SQL is the test's: it keeps to what both kinds understand.
  // First column of the first row; "<none>" without a row, "<null>" for null.
  std::string StoreText(const std::string& sql);
  // Every row, each cell as its SQLite type and text ("3:bob|"): PostgreSQL's cells as SQLite
  // would hold them (a boolean an integer, a real written as SQLite writes it).
  std::vector<std::string> StoreCells(const std::string& sql);
  // The first column of every row, joined by separator.
  std::string StoreList(const std::string& sql, const std::string& separator = ",");
  // Runs statements; fails the test when they fail.
  void ExecStore(const std::string& sql);
  // Bytes given as hex digits as a literal of the store's SQL.
  std::string BytesLiteral(const std::string& hex) const;

  TempDir dir_;
  std::string path_;   // the SQLite copy of the sample store; on PostgreSQL, the copy's source
  std::string store_;  // where the engine's store is: path_ or a postgresql:// location
  std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
  std::unique_ptr<hrzsrv::Engine> engine_;
  std::vector<std::uint8_t> publicKey_;
  std::map<const hrzsrv::Session*, std::uint32_t> sequences_;  // the last one sealed for each

 private:
  struct Cell {
    int type = SQLITE_NULL;  // as SQLite types it
    std::string text;
  };
  // Every row of sql; none when it fails.
  std::vector<std::vector<Cell>> Cells(const std::string& sql);
  std::unique_ptr<hrzsrv::pg::Connection> pg_;  // on PostgreSQL, the test's own connection
};

}  // namespace hrztest
