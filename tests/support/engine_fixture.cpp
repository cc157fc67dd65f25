#include "support/engine_fixture.h"

#include <sodium.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hrzserver/pg_store.h"
#include "support/pg_cluster.h"

namespace hrztest {

namespace p = hrz::protocol;
namespace wire = hrz::wire;

namespace {

// Which kind of store the engine's tests run on: HRZ_TEST_STORE=postgresql, or SQLite.
bool PostgresWanted() {
  const char* kind = std::getenv("HRZ_TEST_STORE");
  return kind != nullptr && std::string(kind) == "postgresql";
}

// A real as SQLite writes it: fifteen significant digits, and ".0" on a whole number.
std::string SqliteRealText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  std::string written = text;
  if (std::isfinite(value) && written.find_first_of(".en") == std::string::npos) written += ".0";
  return written;
}

}  // namespace

std::string LocalDay(std::time_t when) {
  std::tm t{};
  localtime_r(&when, &t);
  return std::to_string((t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday);
}

std::string Answer::FirstText() const {
  std::string text;
  hrz::wire::BodyReader reader(body);
  return reader.NextText(&text) ? text : std::string("<none>");
}

void EngineTest::SetUp() {
  path_ = dir_.File("store.db");
  CopySampleStore(path_);
  store_ = path_;
  std::string error;
  if (PostgresWanted()) {
    NewTestDatabase(&store_);
    if (store_.empty()) return;
    ASSERT_TRUE(hrzsrv::MigrateToPostgres(path_, store_, nullptr, &error)) << error;
    pg_ = hrzsrv::pg::Connection::Open(store_, &error);
    ASSERT_TRUE(pg_) << error;
    const hrzsrv::pg::Result path =
        pg_->Exec("SET search_path = public, " + pg_->QuoteIdentifier(hrzsrv::kPgPrivateSchema));
    ASSERT_TRUE(path.ok()) << path.error();
  }
  engine_ = hrzsrv::Engine::Open(store_, clock_, &error);
  ASSERT_TRUE(engine_) << error;
  auto session = NewSession();
  Answer hello = Send(*session, p::kHello, {});
  std::span<const std::uint8_t> key;
  auto fields = hello.Fields();
  ASSERT_TRUE(fields.Next(&key));
  publicKey_.assign(key.begin(), key.end());
}

std::unique_ptr<hrzsrv::Session> EngineTest::NewSession() {
  std::string error;
  auto session = engine_->NewSession("test", &error);
  EXPECT_TRUE(session) << error;
  return session;
}

Answer EngineTest::SendRaw(hrzsrv::Session& session, const std::vector<std::uint8_t>& frame) {
  hrzsrv::Session::Outcome outcome = session.Handle(frame, false);
  Answer answer;
  answer.closed = outcome.close;
  if (outcome.reply.size() >= p::kHeaderSize) {
    answer.received = true;
    answer.status = outcome.reply[p::kCodeByte];
    answer.group = outcome.reply[p::kGroupByte];
    answer.body.assign(outcome.reply.begin() + p::kHeaderSize, outcome.reply.end());
  }
  return answer;
}

Answer EngineTest::Send(hrzsrv::Session& session, p::Kind kind,
                        const std::vector<std::uint8_t>& body, bool oneWay) {
  std::vector<std::uint8_t> frame(p::kHeaderSize + body.size(), 0);
  frame[p::kClassByte] = kind.cls;
  frame[p::kGroupByte] = kind.group;
  frame[p::kCodeByte] = kind.code;
  std::copy(body.begin(), body.end(), frame.begin() + p::kHeaderSize);
  if (oneWay) {
    hrzsrv::Session::Outcome outcome = session.Handle(frame, true);
    Answer answer;
    answer.received = !outcome.reply.empty();
    answer.closed = outcome.close;
    return answer;
  }
  return SendRaw(session, frame);
}

std::vector<std::uint8_t> EngineTest::NonceOf(hrzsrv::Session& session) {
  Answer hello = Send(session, p::kHello, {});
  auto fields = hello.Fields();
  std::span<const std::uint8_t> field;
  std::int32_t version = 0;
  std::string folder;
  EXPECT_TRUE(fields.Next(&field) && fields.NextText(&folder) && fields.NextInt32(&version) &&
              fields.Next(&field));
  return {field.begin(), field.end()};
}

std::string EngineTest::SealWith(const std::vector<std::uint8_t>& nonce, std::uint32_t sequence,
                                 const std::string& plain) {
  std::vector<unsigned char> opened(nonce.begin(), nonce.end());
  for (int i = 0; i < 4; ++i) opened.push_back(static_cast<unsigned char>(sequence >> (8 * i)));
  opened.insert(opened.end(), plain.begin(), plain.end());
  std::vector<unsigned char> sealed(crypto_box_SEALBYTES + opened.size());
  crypto_box_seal(sealed.data(), opened.data(), opened.size(), publicKey_.data());
  std::string text(sodium_base64_ENCODED_LEN(sealed.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), sealed.data(), sealed.size(),
                    sodium_base64_VARIANT_ORIGINAL);
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::string EngineTest::Seal(hrzsrv::Session& session, const std::string& plain) {
  return SealWith(NonceOf(session), ++sequences_[&session], plain);
}

Answer EngineTest::Logon(hrzsrv::Session& session, const std::string& code,
                         const std::string& password) {
  wire::BodyWriter body;
  body.PutText(code);
  body.PutText(Seal(session, password));
  body.PutInt32(260101);
  return Send(session, p::kLogon, body.Finish());
}

std::unique_ptr<hrzsrv::Session> EngineTest::LoggedOn(const std::string& code,
                                                      const std::string& password) {
  auto session = NewSession();
  EXPECT_EQ(Logon(*session, code, password).status, p::kLogonOk) << code;
  return session;
}

std::vector<std::vector<EngineTest::Cell>> EngineTest::Cells(const std::string& sql) {
  std::vector<std::vector<Cell>> rows;
  if (pg_) {
    namespace pg = hrzsrv::pg;
    const pg::Result result = pg_->Exec(sql);
    EXPECT_TRUE(result.ok()) << sql << ": " << result.error();
    for (int r = 0; r < result.Rows(); ++r) {
      std::vector<Cell>& row = rows.emplace_back();
      for (int c = 0; c < result.Columns(); ++c) {
        Cell& cell = row.emplace_back();
        if (result.IsNull(r, c)) continue;
        switch (result.ColumnType(c)) {
          case pg::kInt2Oid:
          case pg::kInt4Oid:
          case pg::kInt8Oid:
            cell = {SQLITE_INTEGER, result.Text(r, c)};
            break;
          case pg::kBoolOid:
            cell = {SQLITE_INTEGER, result.View(r, c) == "t" ? "1" : "0"};
            break;
          case pg::kFloat4Oid:
          case pg::kFloat8Oid:
          case pg::kNumericOid:
            cell = {SQLITE_FLOAT, SqliteRealText(std::strtod(result.Text(r, c).c_str(), nullptr))};
            break;
          case pg::kByteaOid:
            cell = {SQLITE_BLOB, result.Bytes(r, c)};
            break;
          default:
            cell = {SQLITE_TEXT, result.Text(r, c)};
        }
      }
    }
    return rows;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    // The engine may still be closing a session's connection, which checkpoints the store.
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* stmt = nullptr;
    const bool prepared = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK;
    EXPECT_TRUE(prepared) << sql << ": " << sqlite3_errmsg(db);
    while (prepared && sqlite3_step(stmt) == SQLITE_ROW) {
      std::vector<Cell>& row = rows.emplace_back();
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        const int type = sqlite3_column_type(stmt, c);  // before the text conversion
        const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, c));
        row.push_back({type, std::string(text ? text : "", sqlite3_column_bytes(stmt, c))});
      }
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return rows;
}

std::string EngineTest::StoreText(const std::string& sql) {
  const std::vector<std::vector<Cell>> rows = Cells(sql);
  if (rows.empty() || rows.front().empty()) return "<none>";
  const Cell& first = rows.front().front();
  return first.type == SQLITE_NULL ? "<null>" : first.text;
}

std::vector<std::string> EngineTest::StoreCells(const std::string& sql) {
  std::vector<std::string> rows;
  for (const std::vector<Cell>& cells : Cells(sql)) {
    std::string row;
    for (const Cell& cell : cells) row += std::to_string(cell.type) + ":" + cell.text + "|";
    rows.push_back(row);
  }
  return rows;
}

std::string EngineTest::StoreList(const std::string& sql, const std::string& separator) {
  std::string list;
  for (const std::vector<Cell>& row : Cells(sql)) {
    if (!list.empty()) list += separator;
    if (!row.empty()) list += row.front().text;
  }
  return list;
}

void EngineTest::ExecStore(const std::string& sql) {
  if (pg_) {
    const hrzsrv::pg::Result result = pg_->ExecScript(sql);
    EXPECT_TRUE(result.ok()) << sql << ": " << result.error();
    return;
  }
  WriteStore(path_, sql);
}

std::string EngineTest::BytesLiteral(const std::string& hex) const {
  return pg_ ? "'\\x" + hex + "'::bytea" : "x'" + hex + "'";
}

}  // namespace hrztest
