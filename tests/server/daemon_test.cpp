// The hrzserver program as a user runs it: init, demo, serve, and a client in this process
// logging on over TCP.
#include <gtest/gtest.h>
#include <signal.h>

#include <asio.hpp>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/client_request.h"
#include "support/save_message.h"
#include "support/stores.h"
#include "xclidb.h"

namespace hrztest {
namespace {

// hrzserver run with args.
class Child : public ChildProcess {
 public:
  explicit Child(std::vector<std::string> args, const ChildSetup& setup = {})
      : ChildProcess(HRZSERVER_PATH, std::move(args), setup) {}
};

TEST(DaemonTest, InitDemoServeAndASecondProcessLogsOnOverTcp) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  {
    Child init({"init", "--store", store});
    init.Write("typed-pw\ntyped-pw\n");  // no --admin-password: asked for twice
    EXPECT_NE(init.Rest().find("Created"), std::string::npos);
    EXPECT_EQ(init.Wait(), 0);
  }
  {
    Child again({"init", "--store", store, "--admin-password", "x"});
    EXPECT_EQ(again.Wait(), 1);  // never over an existing store
  }
  {
    Child demo({"demo", "--store", store});
    const std::string printed = demo.Rest();
    EXPECT_EQ(demo.Wait(), 0);
    for (const char* password :
         {"alice-pw1", "bob-pw1", "carol-pw1", "dave-pw1", "erin-pw1", "frank-pw1", "grace-pw1"}) {
      EXPECT_NE(printed.find(password), std::string::npos) << password;
    }
  }
  Child serve({"serve", "--store", store, "--listen", "127.0.0.1:0"});
  const std::string location = ServedLocation(serve);
  ASSERT_FALSE(location.empty());
  // The fingerprint the server prints is the one its first client is shown.
  const std::string printed = serve.Line();
  UseConfigFolder(dir.File("config"));
  char shown[XCLI_FINGERPRINT_SIZE], error[256] = {};
  ASSERT_EQ(XCliDB_CheckServer(location.c_str(), shown, nullptr, error, sizeof error),
            XCLI_SERVER_NEW)
      << error;
  EXPECT_EQ(printed, "Certificate SHA-256 fingerprint: " + std::string(shown) + "\n");
  ASSERT_EQ(XCliDB_PinServer(location.c_str(), shown, error, sizeof error), 1) << error;
  tagXCliDB* db = XCliDB_Open(location.c_str(), error, sizeof error);
  ASSERT_NE(db, nullptr) << error;
  int status = 0;
  EXPECT_EQ(XCliDB_Logon(db, "adm", "typed-pw", 1, &status, nullptr, 0), 1) << status;
  EXPECT_EQ(QueryText(db, "select CNAME from UUSR where CCODE = 'carol'"), "Carol Chen");
  XCliDB_Close(db);
  serve.Signal(SIGTERM);
  EXPECT_EQ(serve.Wait(), 0);
}

// A save that was answered survives the server's sudden end; one whose last message never
// came leaves no trace.
TEST(DaemonTest, AServerKilledInTheMiddleOfASaveKeepsOnlyWhatItAnswered) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  CopySampleStore(store);
  Child serve({"serve", "--store", store, "--listen", "127.0.0.1:0"});
  const std::string location = ServedLocation(serve);
  ASSERT_FALSE(location.empty());
  UseConfigFolder(dir.File("config"));
  TrustServer(location);
  Connection adm = TryLogon(location, "adm", kAdminPassword);
  ASSERT_TRUE(adm);
  namespace p = hrz::protocol;
  EXPECT_EQ(SendRequest(adm.get(), p::kRecordSaveLast,
                        SaveBody(UpdateOf(314), {Entry("UUSR.CNAME", "Answered")}))
                .status,
            p::kRecordSaved);
  EXPECT_EQ(SendRequest(adm.get(), p::kRecordSaveEarly,
                        SaveBody(UpdateOf(309), {Entry("UUSR.CNAME", "Never finished")}))
                .status,
            p::kRecordChunkKept);
  serve.Signal(SIGKILL);
  serve.Wait();
  EXPECT_EQ(StoreRows(store, "select CNAME from UUSR where NID in (309, 314) order by NID"),
            (std::vector<std::string>{"3:Bob Baker|", "3:Answered|"}));
}

TEST(DaemonTest, HelpNamesEveryCommandAndBadUseFails) {
  Child help({"--help"});
  const std::string text = help.Rest();
  EXPECT_EQ(help.Wait(), 0);
  for (const char* word : {"init", "demo", "serve", "certificate", "--store", "--admin-password",
                           "--listen", "--plain", "--max-connections", "--idle-before-logon",
                           "--idle-after-logon", "--statement-limit", "--workers"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word;
  }
  TempDir dir;
  const std::string store = dir.File("org.db");
  CopySampleStore(store);
  struct Case {
    std::vector<std::string> args;
    int exit;
  } cases[] = {
      {{"serve"}, 2},
      {{"demo", "--store", dir.File("none.db")}, 1},
      {{"serve", "--store", store, "--plain", "--listen", "0.0.0.0:0"}, 2},
      {{"serve", "--store", store, "--max-connections", "0"}, 2},
      {{"serve", "--store", store, "--idle-before-logon", "soon"}, 2},
      {{"serve", "--store", store, "--statement-limit", "-1"}, 2},
  };
  for (const Case& c : cases) {
    Child bad(c.args);
    EXPECT_EQ(bad.Wait(), c.exit) << c.args.back();
  }
}

// Silent connections take every descriptor the server may have; it says so once, does not
// spin, closes them when their time is up and serves the client that waited meanwhile.
TEST(DaemonTest, SilentConnectionsUpToTheDescriptorLimitLeaveRoomForAGoodClient) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  const std::string errors = dir.File("errors.txt");
  CopySampleStore(store);
  // Long enough a wait before silent clients are closed that the measurement below falls
  // wholly into the time the server has no descriptor to spare.
  Child serve({"serve", "--store", store, "--listen", "127.0.0.1:0", "--idle-before-logon", "6"},
              {.maxDescriptors = 64, .errors = errors});
  const std::string banner = serve.Line();
  const std::size_t at = banner.find("tcp://");
  ASSERT_NE(at, std::string::npos) << banner;
  const std::string location = banner.substr(at, banner.find_last_not_of("\r\n") + 1 - at);
  const auto port = static_cast<std::uint16_t>(std::stoi(location.substr(location.rfind(':') + 1)));
  UseConfigFolder(dir.File("config"));
  TrustServer(location);

  auto log = [&errors] {
    std::ifstream in(errors);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  asio::io_context io;
  std::vector<asio::ip::tcp::socket> silent;
  for (int i = 0; i < 80; ++i) {
    silent.emplace_back(io).connect({asio::ip::make_address("127.0.0.1"), port});
  }
  for (int i = 0; i < 200 && log().find("cannot accept") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  ASSERT_NE(log().find("cannot accept"), std::string::npos) << "the limit was never reached";
  const auto cpuBefore = serve.CpuTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  EXPECT_LT(serve.CpuTime() - cpuBefore, std::chrono::milliseconds(100))
      << "the server spins while it cannot accept\n"
      << log();

  char error[512] = {};
  tagXCliDB* db = XCliDB_Open(location.c_str(), error, sizeof error);
  ASSERT_NE(db, nullptr) << error << "\n" << log();
  int status = 0;
  EXPECT_EQ(XCliDB_Logon(db, "bob", "bob-pw1", 1, &status, nullptr, 0), 1) << status;
  XCliDB_Close(db);
  // Once per time it runs out, and once when it is back.
  std::istringstream lines(log());
  std::string line, last;
  int outages = 0;
  while (std::getline(lines, line)) {
    const bool out = line.find("cannot accept") != std::string::npos;
    const bool back = line.find("accepting connections again") != std::string::npos;
    if (!out && !back) continue;
    EXPECT_NE(line, last) << "said twice in a row";
    outages += out;
    last = line;
  }
  EXPECT_GE(outages, 1);
  EXPECT_NE(last.find("again"), std::string::npos) << log();
  serve.Signal(SIGTERM);
  EXPECT_EQ(serve.Wait(), 0);
}

}  // namespace
}  // namespace hrztest
