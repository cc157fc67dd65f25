// Connections over TCP: several clients at once, connections dropped in the middle of an
// exchange from either side, and time-outs.
#include <sys/stat.h>

#include <asio.hpp>
#include <chrono>
#include <future>
#include <thread>

#include "entry/requests.h"
#include "support/fake_server.h"
#include "support/stores.h"

namespace hrztest {
namespace {

class TcpServerTest : public ClientTest {};

TEST_P(TcpServerTest, ClientsWorkAtTheSameTimeEachInStepWithItsOwnRequests) {
  constexpr int kClients = 4;
  const char* users[kClients][2] = {
      {"alice", "alice-pw1"}, {"bob", "bob-pw1"}, {"carol", "carol-pw1"}, {"dave", "dave-pw1"}};
  std::vector<std::future<int>> results;
  for (auto& user : users) {
    results.push_back(std::async(std::launch::async, [&, code = user[0], pw = user[1]] {
      Connection db = LogonAs(code, pw);
      int matches = 0;
      for (int i = 0; i < 25; ++i) {
        // Each client reads its own code and writes its own signature position.
        const std::string own =
            QueryText(db.get(), std::string("select CCODE from UUSR where NID = ") +
                                    std::to_string(XCliGetCurrentUserNID(db.get())));
        const std::string update =
            "update UUSR set FDWGX = " + std::to_string(i) +
            " where NID = " + std::to_string(XCliGetCurrentUserNID(db.get()));
        if (own == code && XCliDB_ExecuteSQL(db.get(), update.c_str(), 0, 0) == 1) ++matches;
      }
      return matches;
    }));
  }
  for (auto& result : results) EXPECT_EQ(result.get(), 25);
  Connection adm = LogonAs("adm", kAdminPassword);
  EXPECT_EQ(QueryText(adm.get(), "select count(*) from UUSR where FDWGX = 24"), "4");
}

TEST_P(TcpServerTest, OneConnectionSharedByThreadsStaysInStep) {
  Connection db = LogonAs("adm", kAdminPassword);
  auto worker = [&](int nid, const char* code) {
    int right = 0;
    for (int i = 0; i < 40; ++i) {
      if (QueryText(db.get(), "select CCODE from UUSR where NID = " + std::to_string(nid)) ==
          code) {
        ++right;
      }
    }
    return right;
  };
  auto a = std::async(std::launch::async, worker, 308, "alice");
  auto b = std::async(std::launch::async, worker, 309, "bob");
  EXPECT_EQ(a.get(), 40);
  EXPECT_EQ(b.get(), 40);
}

TEST_P(TcpServerTest, AClientDroppedInTheMiddleOfAFrameChangesNothing) {
  Connection adm = LogonAs("adm", kAdminPassword);
  // Raw frames go to a plain listener on the same engine: framing is the same under TLS.
  hrzsrv::ServerOptions options;
  options.plain = true;
  std::string error;
  auto plain = hrzsrv::TcpServer::Start(*engine_, options, &error);
  ASSERT_TRUE(plain) << error;
  {
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), plain->port()});
    // A frame prefix promising 500 bytes, then only a part of an execute request.
    const unsigned char partial[] = {0xf4, 0x01, 0, 0, 0, 0, 0, 0, 0, 3, 1, 2};
    asio::write(socket, asio::buffer(partial));
  }
  // A prefix too short for a header, and one with unknown flags, close their connections:
  // the stream cannot be followed past them.
  for (const auto& prefix :
       {std::vector<unsigned char>{4, 0, 0, 0, 0}, std::vector<unsigned char>{40, 0, 0, 0, 0x80}}) {
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), plain->port()});
    asio::write(socket, asio::buffer(prefix));
    unsigned char byte;
    asio::error_code ec;
    asio::read(socket, asio::buffer(&byte, 1), ec);
    EXPECT_EQ(ec, asio::error::eof);
  }
  EXPECT_EQ(QueryText(adm.get(), "select count(*) from UUSR"), "20");
  LogonAs("bob", "bob-pw1");
  plain->Stop();
}

INSTANTIATE_TEST_SUITE_P(Transports, TcpServerTest, ::testing::Values(Via::kTcp), ViaName);

TEST(TcpClientTest, AServerThatDropsTheConnectionFailsTheSendAndLeavesItClosed) {
  FakeServer server([](const Frame&) { return FakeAnswer::Drop(); });
  char error[256];
  tagXCliDB* db = XCliDB_Open(server.location().c_str(), error, sizeof error);
  ASSERT_NE(db, nullptr) << error;
  unsigned char header[XCLI_HEADER_SIZE] = {};
  XCliSendLock* lock = XCliDB_LockSendAndWait(db);
  EXPECT_EQ(XCliDB_SendAndWait1(db, lock, 5, 2, 1, nullptr, 0, header, nullptr, 0, 0),
            XCLI_SEND_FAILED);
  XCliDB_ReleaseSendAndWait(db, lock);
  EXPECT_EQ(XCliDB_ExecuteSQL(db, "select 1", 0, 0), 0);
  XCliDB_Close(db);
}

TEST(TcpClientTest, ASendAfterItsTimeOutFailsAndALateReplyIsNeverTakenForAnother) {
  FakeServer server([](const Frame& f) {
    FakeAnswer answer;
    answer.status = f.code() == 1 ? 4 : 2;
    answer.delayMs = f.code() == 1 ? 600 : 0;
    return answer;
  });
  char error[256];
  tagXCliDB* db = XCliDB_Open(server.location().c_str(), error, sizeof error);
  ASSERT_NE(db, nullptr) << error;
  unsigned char header[XCLI_HEADER_SIZE] = {};
  unsigned char reply[64];
  XCliSendLock* lock = XCliDB_LockSendAndWait(db);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(XCliDB_SendAndWait1(db, lock, 5, 2, 1, nullptr, 0, header, reply, sizeof reply, 100),
            XCLI_SEND_FAILED);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(550));
  // The connection closed cleanly: the next send fails at once instead of reading the late
  // answer to the first.
  EXPECT_EQ(XCliDB_SendAndWait1(db, lock, 5, 2, 2, nullptr, 0, header, reply, sizeof reply, 0),
            XCLI_SEND_FAILED);
  XCliDB_ReleaseSendAndWait(db, lock);
  XCliDB_Close(db);
}

TEST(TcpClientTest, OpeningFailsWithAReason) {
  char error[256] = {};
  EXPECT_EQ(XCliDB_Open("tcp://127.0.0.1:1", error, sizeof error), nullptr);
  EXPECT_NE(std::string(error).find("cannot connect"), std::string::npos) << error;
  EXPECT_EQ(XCliDB_Open("tcp://nohostport", error, sizeof error), nullptr);
  EXPECT_EQ(XCliDB_Open("/nonexistent/dir/store.db", error, sizeof error), nullptr);
  EXPECT_NE(error[0], '\0');
}

TEST(CreateStoreTest, MakesAStoreWithTheGivenAdministratorPasswordAndRefusesToOverwrite) {
  TempDir dir;
  const std::string path = dir.File("new.db");
  char error[256] = {};
  ASSERT_EQ(XCliDB_CreateStore(path.c_str(), "first-pw", 0, error, sizeof error), 1) << error;
  EXPECT_EQ(XCliDB_CreateStore(path.c_str(), "other", 1, error, sizeof error), 0);
  EXPECT_NE(std::string(error).find("exists"), std::string::npos) << error;
  tagXCliDB* db = XCliDB_Open(path.c_str(), error, sizeof error);
  ASSERT_NE(db, nullptr) << error;
  int status = 0;
  EXPECT_EQ(XCliDB_Logon(db, "adm", "first-pw", 1, &status, nullptr, 0), 1);
  // Without the sample there is the root department and adm only.
  EXPECT_EQ(QueryText(db, "select count(*) from UUSR"), "2");
  EXPECT_EQ(QueryText(db, "select NPID from UUSRBM where NCID = 1"), "2");
  // NIDs up to 300 are kept for the system records: the first record added takes 301.
  ASSERT_EQ(XCliDB_ExecuteSQL(
                db, "insert into UUSR(CCODE, CNAME, CSRC) values('zoe', 'Zoe', 'UUSRI')", 0, 0),
            1);
  EXPECT_EQ(QueryText(db, "select NID from UUSR where CCODE = 'zoe'"), "301");
  // The store and its journals, which now exist, are the owner's alone; the TLS key is inside.
  for (const char* suffix : {"", "-wal", "-shm"}) {
    struct stat info {};
    ASSERT_EQ(::stat((path + suffix).c_str(), &info), 0) << suffix;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << suffix;
  }
  XCliDB_Close(db);
}

}  // namespace
}  // namespace hrztest
