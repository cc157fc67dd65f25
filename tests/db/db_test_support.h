// Shared fixtures of the database client tests: a fresh copy of the sample store per test,
// reached either in process or through a TCP server started in this process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "hrzserver/engine.h"
#include "hrzserver/tcp_server.h"
#include "xclidb.h"

namespace hrztest {

constexpr const char* kAdminPassword = "adm-secret";

enum class Via { kEmbedded, kTcp };
std::string ViaName(const ::testing::TestParamInfo<Via>& info);

// A clock the test sets; starts at a fixed moment.
class FakeClock final : public hrzsrv::Clock {
 public:
  std::time_t Now() const override { return now; }
  std::time_t now = 1'780'000'000;
};

// A folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The sample store, made once per test program, copied to path.
void CopySampleStore(const std::string& path);

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
  std::string location_;
  std::shared_ptr<FakeClock> clock_ = std::make_shared<FakeClock>();
  std::unique_ptr<hrzsrv::Engine> engine_;  // TCP only
  std::unique_ptr<hrzsrv::TcpServer> server_;
};

// The first column of the first row of a query as text; "<none>" when there is no row.
std::string QueryText(tagXCliDB* db, const std::string& sql);

}  // namespace hrztest
