#include "db/db_test_support.h"

#include <unistd.h>

namespace hrztest {

std::string ViaName(const ::testing::TestParamInfo<Via>& info) {
  return info.param == Via::kEmbedded ? "Embedded" : "Tcp";
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "hrzdb-XXXXXX").string();
  path_ = ::mkdtemp(pattern.data());
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
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
  server_ = hrzsrv::TcpServer::Start(*engine_, "127.0.0.1", 0, &error);
  ASSERT_TRUE(server_) << error;
  location_ = "tcp://127.0.0.1:" + std::to_string(server_->port());
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

std::string QueryText(tagXCliDB* db, const std::string& sql) {
  XCliGenRS rs(db);
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF()) return "<none>";
  char text[512];
  if (!rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, sizeof text)) return "<unreadable>";
  return text;
}

}  // namespace hrztest
