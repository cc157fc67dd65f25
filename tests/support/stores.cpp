#include "support/stores.h"

#include <sqlite3.h>

#include "sqlite_store_db.h"
#include "store.h"

#include <filesystem>

#include <cstdlib>

namespace hrztest {

bool CreateBareStore(const std::string& path, std::string* why) {
  std::unique_ptr<hrzsrv::StoreDb> db = hrzsrv::OpenSqliteStoreDb(path, true, why);
  return db != nullptr && hrzsrv::CreateSchema(*db, "not-a-hash", why);
}

void CopySampleStore(const std::string& path) {
  static TempDir templateDir;
  static const std::string templatePath = [] {
    std::string file = templateDir.File("sample.db");
    char error[256] = {};
    EXPECT_EQ(XCliDB_CreateStore(file.c_str(), kAdminPassword, 1, error, sizeof error), 1) << error;
    return file;
  }();
  std::filesystem::copy_file(templatePath, path);
}

Connection TryLogon(const std::string& location, const char* code, const char* password) {
  char error[256] = {};
  Connection db(XCliDB_Open(location.c_str(), error, sizeof error));
  int status = 0;
  if (db && XCliDB_Logon(db.get(), code, password, 260101, &status, nullptr, 0) != 1) {
    db.reset();
  }
  return db;
}

std::string QueryText(tagXCliDB* db, const std::string& sql) {
  XCliGenRS rs(db);
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF()) return "<none>";
  char text[512];
  if (!rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text)) return "<unreadable>";
  return text;
}

std::vector<std::string> StoreRows(const std::string& store, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    // The server may still be closing a session's connection, which checkpoints the store.
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
          const int type = sqlite3_column_type(stmt, c);  // before the text conversion
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
          row += std::to_string(type) + ":" + (text ? text : "") + "|";
        }
        rows.push_back(row);
      }
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return rows;
}

void WriteStore(const std::string& store, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 10000);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
  sqlite3_close(db);
}

std::string ViaName(const ::testing::TestParamInfo<Via>& info) {
  return info.param == Via::kEmbedded ? "Embedded" : "Tcp";
}

int CountEntries(const std::string& folder) {
  std::error_code ignored;
  int count = 0;
  for (auto it = std::filesystem::directory_iterator(folder, ignored);
       it != std::filesystem::directory_iterator(); it.increment(ignored)) {
    ++count;
  }
  return count;
}

void UseConfigFolder(const std::string& folder) {
  std::filesystem::create_directories(folder);
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
}

void TrustServer(const std::string& location) {
  char fingerprint[XCLI_FINGERPRINT_SIZE], error[256] = {};
  ASSERT_EQ(XCliDB_CheckServer(location.c_str(), fingerprint, nullptr, error, sizeof error),
            XCLI_SERVER_NEW)
      << error;
  ASSERT_EQ(XCliDB_PinServer(location.c_str(), fingerprint, error, sizeof error), 1) << error;
}

std::unique_ptr<hrzsrv::TcpServer> StartTlsServer(hrzsrv::Engine& engine,
                                                  const std::string& storePath,
                                                  hrzsrv::ServerOptions options) {
  std::string error;
  EXPECT_TRUE(hrzsrv::LoadTlsIdentity(storePath, &options.tls, &error)) << error;
  auto server = hrzsrv::TcpServer::Start(engine, options, &error);
  EXPECT_TRUE(server) << error;
  return server;
}

void ClientTest::SetUp() {
  storePath_ = dir_.File("store.db");
  CopySampleStore(storePath_);
  if (GetParam() == Via::kEmbedded) {
    location_ = storePath_;
    return;
  }
  // The sample's locked user is locked today, whichever transport finds out.
  clock_->now = std::time(nullptr);
  std::string error;
  engine_ = hrzsrv::Engine::Open(storePath_, clock_, &error);
  ASSERT_TRUE(engine_) << error;
  server_ = StartTlsServer(*engine_, storePath_);
  ASSERT_TRUE(server_);
  location_ = "tcp://127.0.0.1:" + std::to_string(server_->port());
  UseConfigFolder(dir_.File("config"));
  TrustServer(location_);
}

void ClientTest::TearDown() {
  if (server_) server_->Stop();
}

Connection ClientTest::Open() {
  char error[256] = {};
  Connection db(XCliDB_Open(location_.c_str(), error, sizeof error));
  EXPECT_TRUE(db) << error;
  return db;
}

Connection ClientTest::LogonAs(const char* code, const char* password) {
  Connection db = Open();
  int status = 0;
  if (db) {
    EXPECT_EQ(XCliDB_Logon(db.get(), code, password, 260101, &status, nullptr, 0), 1)
        << code << " status " << status;
  }
  return db;
}

void SampleStoreTest::SetUp() {
  const std::string path = dir_.File("store.db");
  CopySampleStore(path);
  char error[256] = {};
  db_.reset(XCliDB_Open(path.c_str(), error, sizeof error));
  ASSERT_TRUE(db_) << error;
  int status = 0;
  ASSERT_EQ(XCliDB_Logon(db(), "adm", kAdminPassword, 260101, &status, nullptr, 0), 1)
      << "status " << status;
}

void SampleStoreTest::Exec(const std::string& sql) {
  ASSERT_EQ(XCliDB_ExecuteSQL(db(), sql.c_str(), 0, 0), 1) << sql;
}

}  // namespace hrztest
