// Stores for tests: a fresh copy of the sample organisation per test, reached in process
// (the embedded engine on the file) or through a TCP server started in this process.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "hrzserver/engine.h"
#include "hrzserver/tcp_server.h"
#include "support/qt_app.h"
#include "support/temp_dir.h"
#include "xclidb.h"

namespace hrztest {

// The administrator's password in every sample copy; the other users' are in
// docs/protocol.md.
constexpr const char* kAdminPassword = "adm-secret";

// The sample store, made once per test program, copied to path.
void CopySampleStore(const std::string& path);

// A store file as "hrzserver init" leaves it, but with an administrator whose hash is none
// (no Argon2id time spent): for tests of the store's own statements. False with why.
bool CreateBareStore(const std::string& path, std::string* why);

// The number of entries of a folder, such as the open descriptors in /proc/self/fd.
int CountEntries(const std::string& folder);

// Points the user's configuration folder (pins, CA file) at folder, for this process.
void UseConfigFolder(const std::string& folder);
// Accepts the certificate of a tcp:// location as a user does on first contact.
void TrustServer(const std::string& location);
// A TLS server on loopback for engine, presenting the identity kept in storePath.
std::unique_ptr<hrzsrv::TcpServer> StartTlsServer(hrzsrv::Engine& engine,
                                                  const std::string& storePath,
                                                  hrzsrv::ServerOptions options = {});

struct XCliDBCloser {
  void operator()(tagXCliDB* db) const { XCliDB_Close(db); }
};
using Connection = std::unique_ptr<tagXCliDB, XCliDBCloser>;

// A connection to location logged on as code; empty when it cannot open or the logon is
// refused.
Connection TryLogon(const std::string& location, const char* code, const char* password);

// The first column of the first row of a query as text; "<none>" when there is no row.
std::string QueryText(tagXCliDB* db, const std::string& sql);

// Rows of a query straight from the store file, private tables included, each cell as its
// SQLite type and text ("3:bob|").
std::vector<std::string> StoreRows(const std::string& store, const std::string& sql);
// Runs SQL straight on the store file; fails the test when it fails.
void WriteStore(const std::string& store, const std::string& sql);

// A clock the test sets; starts at a fixed moment.
class FakeClock final : public hrzsrv::Clock {
 public:
  std::time_t Now() const override { return now; }
  std::time_t now = 1'780'000'000;
};

// Each test of a suite derived from ClientTest runs twice, once per transport:
//   INSTANTIATE_TEST_SUITE_P(Store, MyTest, ::testing::Values(Via::kEmbedded, Via::kTcp),
//                            ViaName);
enum class Via { kEmbedded, kTcp };
std::string ViaName(const ::testing::TestParamInfo<Via>& info);

class ClientTest : public ::testing::TestWithParam<Via> {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A new connection to the test's store; fails the test when it cannot open.
  Connection Open();
  // A new connection logged on as code; fails the test when the logon fails.
  Connection LogonAs(const char* code, const char* password);

  TempDir dir_;
  std::string storePath_;
  std::string location_;  // the file, or "tcp://127.0.0.1:port"
  std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
  std::unique_ptr<hrzsrv::Engine> engine_;  // TCP only
  std::unique_ptr<hrzsrv::TcpServer> server_;
};

// A sample copy opened in process and logged on as the administrator, with the
// application ready for the widgets a derived fixture holds.
class SampleStoreTest : public QtTest {
 protected:
  void SetUp() override;
  tagXCliDB* db() const { return db_.get(); }
  // Runs SQL on the store as the administrator; fails the test when it fails.
  void Exec(const std::string& sql);

  TempDir dir_;
  Connection db_;
};

}  // namespace hrztest
