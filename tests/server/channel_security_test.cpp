// Attacks on the channel and the limits of hrzserver over TCP, each made by a real client of
// the database library (or a bare socket) doing what anyone who reaches the port could do.
// Each row starts a TLS server on a fresh sample store with the settings it needs.

#include <asio.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "support/stores.h"

namespace hrztest {
namespace {

namespace p = hrz::protocol;
namespace wire = hrz::wire;
using std::chrono::milliseconds;

// What a raw request got back.
struct Answer {
  bool received = false;
  std::uint8_t status = 0;
  std::string firstText;
};

// One request built by hand and sent through the client library, as the module sends its
// own kinds.
Answer Exchange(tagXCliDB* db, p::Kind kind, const wire::Bytes& body, int timeoutMs = 0) {
  Answer answer;
  unsigned char header[XCLI_HEADER_SIZE] = {};
  std::vector<unsigned char> reply(1 << 20);
  XCliSendLock* lock = XCliDB_LockSendAndWait(db);
  const int received = XCliDB_SendAndWait1(db, lock, kind.cls, kind.group, kind.code, body.data(),
                                           static_cast<int>(body.size()), header, reply.data(),
                                           static_cast<int>(reply.size()), timeoutMs);
  XCliDB_ReleaseSendAndWait(db, lock);
  if (received == XCLI_SEND_FAILED) return answer;
  answer.received = true;
  answer.status = header[p::kCodeByte];
  wire::BodyReader fields({reply.data(), static_cast<std::size_t>(received)});
  fields.NextText(&answer.firstText);
  return answer;
}

wire::Bytes LogonBody(const std::string& code, const std::string& sealed) {
  wire::BodyWriter body;
  body.PutText(code);
  body.PutText(sealed);
  body.PutInt32(260101);
  return body.Finish();
}

wire::Bytes SqlBody(const std::string& sql) {
  wire::BodyWriter body;
  body.PutLong(sql);
  return body.Finish();
}

// Counts without end, so only a limit stops it.
constexpr const char* kRunawayQuery =
    "with recursive c(x) as (select 1 union all select x + 1 from c) select count(*) from c";

// True when the server closes the socket within the deadline.
bool ClosedByServer(asio::io_context& io, asio::ip::tcp::socket& socket, milliseconds deadline) {
  std::uint8_t byte;
  bool closed = false;
  socket.async_read_some(asio::buffer(&byte, 1), [&](const asio::error_code& ec, std::size_t) {
    closed = static_cast<bool>(ec);
  });
  io.restart();
  io.run_for(deadline);
  return closed;
}

// A fresh sample store behind a TLS server, and a client configuration that trusts it.
class Range {
 public:
  Range(const std::function<void(hrzsrv::ServerOptions&, hrzsrv::EngineLimits&)>& configure) {
    store = dir.File("store.db");
    CopySampleStore(store);
    hrzsrv::EngineLimits limits;
    configure(options, limits);
    std::string error;
    engine = hrzsrv::Engine::Open(store, nullptr, &error, limits);
    EXPECT_TRUE(engine) << error;
    server = StartTlsServer(*engine, store, options);
    location = "tcp://127.0.0.1:" + std::to_string(server ? server->port() : 0);
    UseConfigFolder(dir.File("config"));
    TrustServer(location);
  }
  ~Range() {
    if (server) server->Stop();
  }

  Connection Open(const std::string& where = {}) {
    char error[512] = {};
    Connection db(XCliDB_Open((where.empty() ? location : where).c_str(), error, sizeof error));
    lastError = error;
    return db;
  }
  Connection LogonAs(const char* code, const char* password) {
    Connection db = Open();
    int status = 0;
    EXPECT_TRUE(db) << lastError;
    if (db) {
      EXPECT_EQ(XCliDB_Logon(db.get(), code, password, 1, &status, nullptr, 0), 1) << code;
    }
    return db;
  }
  // A bare TCP connection to the server that says nothing.
  asio::ip::tcp::socket Silent(asio::io_context& io) {
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), server->port()});
    return socket;
  }

  TempDir dir;
  std::string store, location, lastError;
  hrzsrv::ServerOptions options;
  std::unique_ptr<hrzsrv::Engine> engine;
  std::unique_ptr<hrzsrv::TcpServer> server;
};

struct Attack {
  const char* name;
  std::function<void(hrzsrv::ServerOptions&, hrzsrv::EngineLimits&)> configure;
  std::function<void(Range&)> run;
};

void PrintTo(const Attack& attack, std::ostream* out) {
  *out << attack.name;
}

void Defaults(hrzsrv::ServerOptions&, hrzsrv::EngineLimits&) {}

const Attack kAttacks[] = {
    {"ReplayingASealedPasswordOnAnotherConnection", Defaults,
     [](Range& range) {
       Connection own = range.Open();
       char sealed[256];
       ASSERT_EQ(XCliEncryptPassword("bob-pw1", sealed), 1);  // for the newest connection
       Connection other = range.Open();
       EXPECT_EQ(Exchange(other.get(), p::kLogon, LogonBody("bob", sealed)).status, p::kStaleSeal);
       // On its own connection it works once, and never again.
       EXPECT_EQ(Exchange(own.get(), p::kLogon, LogonBody("bob", sealed)).status, p::kLogonOk);
       EXPECT_EQ(Exchange(own.get(), p::kLogon, LogonBody("bob", sealed)).status, p::kStaleSeal);
     }},
    {"TellingUnknownCodesFromWrongPasswordsByTheReply", Defaults,
     [](Range& range) {
       Connection a = range.Open(), b = range.Open();
       // Up to the lock and past it, step for step the same status and text.
       for (int attempt = 1; attempt <= 6; ++attempt) {
         int known = 0, unknown = 0;
         char knownText[64], unknownText[64];
         XCliDB_Logon(a.get(), "grace", "wrong", 1, &known, knownText, sizeof knownText);
         XCliDB_Logon(b.get(), "nobody", "wrong", 1, &unknown, unknownText, sizeof unknownText);
         EXPECT_EQ(known, unknown) << attempt;
         EXPECT_STREQ(knownText, unknownText) << attempt;
         EXPECT_EQ(known, attempt < 5 ? p::kLogonWrong : p::kLogonLocked) << attempt;
       }
     }},
    {"ARunawayQueryStopsAtTheTimeLimit",
     [](hrzsrv::ServerOptions&, hrzsrv::EngineLimits& limits) {
       limits.statementTimeLimit = milliseconds(300);
     },
     [](Range& range) {
       Connection adm = range.LogonAs("adm", kAdminPassword);
       EXPECT_EQ(Exchange(adm.get(), p::kQuery, SqlBody(kRunawayQuery)).status, p::kTimeLimit);
       EXPECT_EQ(Exchange(adm.get(), p::kExecute,
                          SqlBody("update UUSR set NPA = NPA + 1 where "
                                  "NID in (" +
                                  std::string(kRunawayQuery) + ")"))
                     .status,
                 p::kTimeLimit);
       EXPECT_EQ(QueryText(adm.get(), "select count(*) from UUSR"), "20");
     }},
    {"ARunawayQueryStopsWhenItsClientGoes",
     [](hrzsrv::ServerOptions& options, hrzsrv::EngineLimits& limits) {
       options.workers = 1;  // the runaway would hold the only worker
       limits.statementTimeLimit = milliseconds(120000);
     },
     [](Range& range) {
       Connection bob = range.LogonAs("bob", "bob-pw1");
       Connection runaway = range.LogonAs("alice", "alice-pw1");
       // The client gives up after a moment and closes its connection.
       EXPECT_FALSE(Exchange(runaway.get(), p::kQuery, SqlBody(kRunawayQuery), 300).received);
       const Answer next = Exchange(bob.get(), p::kQuery, SqlBody("select 1"), 20000);
       EXPECT_TRUE(next.received) << "the worker is still held by the abandoned query";
       EXPECT_EQ(next.status, p::kOk);
     }},
    {"TalkingToAServerWhoseCertificateChanged", Defaults,
     [](Range& range) {
       hrzsrv::ServerOptions options;
       std::string error;
       ASSERT_TRUE(hrzsrv::MakeTlsIdentity({}, &options.tls, &error)) << error;
       auto impostor = hrzsrv::TcpServer::Start(*range.engine, options, &error);
       ASSERT_TRUE(impostor) << error;
       const std::string moved = "tcp://127.0.0.1:" + std::to_string(impostor->port());
       char fingerprint[XCLI_FINGERPRINT_SIZE];
       ASSERT_EQ(XCliDB_CheckServer(range.location.c_str(), fingerprint, nullptr, nullptr, 0),
                 XCLI_SERVER_TRUSTED);
       ASSERT_EQ(XCliDB_PinServer(moved.c_str(), fingerprint, nullptr, 0), 1);
       EXPECT_FALSE(range.Open(moved));
       EXPECT_NE(range.lastError.find("has changed"), std::string::npos) << range.lastError;
       EXPECT_NE(range.lastError.find(fingerprint), std::string::npos) << range.lastError;
       EXPECT_NE(range.lastError.find(hrzsrv::CertificateFingerprint(options.tls.certificatePem)),
                 std::string::npos)
           << range.lastError;
       EXPECT_EQ(
           XCliDB_PinServer(moved.c_str(),
                            hrzsrv::CertificateFingerprint(options.tls.certificatePem).c_str(),
                            nullptr, 0),
           0)
           << "a pin is never replaced";
       impostor->Stop();
     }},
    {"TalkingToAServerNobodyAccepted", Defaults,
     [](Range& range) {
       UseConfigFolder(range.dir.File("another-user"));
       EXPECT_FALSE(range.Open());
       EXPECT_NE(range.lastError.find("not been accepted"), std::string::npos) << range.lastError;
       // Nothing but a whole fingerprint for a single server is pinned.
       char fingerprint[XCLI_FINGERPRINT_SIZE];
       ASSERT_EQ(XCliDB_CheckServer(range.location.c_str(), fingerprint, nullptr, nullptr, 0),
                 XCLI_SERVER_NEW);
       EXPECT_EQ(XCliDB_PinServer(range.location.c_str(), "AB:CD", nullptr, 0), 0);
       const std::string smuggled = range.location + "\nevil:1";
       EXPECT_EQ(XCliDB_PinServer(smuggled.c_str(), fingerprint, nullptr, 0), 0);
       EXPECT_EQ(XCliDB_PinServer("/some/store.db", fingerprint, nullptr, 0), 0);
       EXPECT_FALSE(range.Open()) << "refused pins left nothing behind";
     }},
    {"AServerTheCaFileDoesNotVouchFor", Defaults,
     [](Range& range) {
       hrzsrv::TlsIdentity own, other;
       std::string error;
       ASSERT_TRUE(hrzsrv::LoadTlsIdentity(range.store, &own, &error)) << error;
       const std::string folder = range.dir.File("ca-user");
       UseConfigFolder(folder);
       std::filesystem::create_directories(folder + "/hrzuser");
       std::ofstream(folder + "/hrzuser/ca.pem") << own.certificatePem;
       // The CA file decides alone: no pin needed, and the certificate names the host.
       EXPECT_TRUE(range.Open()) << range.lastError;
       EXPECT_TRUE(range.Open("tcp://localhost:" + std::to_string(range.server->port())))
           << range.lastError;
       hrzsrv::ServerOptions options;
       ASSERT_TRUE(hrzsrv::MakeTlsIdentity({}, &options.tls, &error)) << error;
       auto impostor = hrzsrv::TcpServer::Start(*range.engine, options, &error);
       ASSERT_TRUE(impostor) << error;
       EXPECT_FALSE(range.Open("tcp://127.0.0.1:" + std::to_string(impostor->port())));
       EXPECT_NE(range.lastError.find("not trusted by"), std::string::npos) << range.lastError;
       impostor->Stop();
     }},
    {"PlainTcpAwayFromLoopbackOrAgainstTls", Defaults,
     [](Range& range) {
       hrzsrv::ServerOptions plain;
       plain.plain = true;
       plain.host = "0.0.0.0";
       std::string error;
       EXPECT_FALSE(hrzsrv::TcpServer::Start(*range.engine, plain, &error));
       EXPECT_NE(error.find("loopback"), std::string::npos) << error;
       plain.host = "127.0.0.1";
       auto loopback = hrzsrv::TcpServer::Start(*range.engine, plain, &error);
       ASSERT_TRUE(loopback) << error;
       const std::string port = std::to_string(loopback->port());
       EXPECT_FALSE(range.Open("tcp+plain://0.0.0.0:" + port));
       EXPECT_NE(range.lastError.find("loopback"), std::string::npos) << range.lastError;
       // Each end asks for what it serves: TLS against plain and plain against TLS fail.
       EXPECT_FALSE(range.Open("tcp://127.0.0.1:" + port));
       EXPECT_FALSE(range.Open("tcp+plain://127.0.0.1:" + std::to_string(range.server->port())));
       EXPECT_TRUE(range.Open("tcp+plain://127.0.0.1:" + port)) << range.lastError;
       loopback->Stop();
     }},
    {"OpeningMoreConnectionsThanTheServerTakes",
     [](hrzsrv::ServerOptions& options, hrzsrv::EngineLimits&) { options.maxConnections = 2; },
     [](Range& range) {
       Connection first = range.LogonAs("bob", "bob-pw1");
       Connection second = range.Open();
       EXPECT_FALSE(range.Open());
       EXPECT_NE(range.lastError.find("limit of 2 connections"), std::string::npos)
           << range.lastError;
       EXPECT_EQ(QueryText(first.get(), "select CCODE from UUSR where NID = 309"), "bob");
       second.reset();
       // The slot frees once the server has seen the connection go.
       Connection third;
       for (int i = 0; i < 100 && !third; ++i) {
         third = range.Open();
         if (!third) std::this_thread::sleep_for(milliseconds(20));
       }
       EXPECT_TRUE(third) << range.lastError;
     }},
    {"KeepingConnectionsOpenWithoutLoggingOn",
     [](hrzsrv::ServerOptions& options, hrzsrv::EngineLimits&) {
       options.idleBeforeLogon = milliseconds(300);
     },
     [](Range& range) {
       asio::io_context io;
       asio::ip::tcp::socket silent = range.Silent(io);
       EXPECT_TRUE(ClosedByServer(io, silent, milliseconds(10000)));
       // A greeting alone does not keep the door open either.
       Connection greeted = range.Open();
       ASSERT_TRUE(greeted) << range.lastError;
       std::this_thread::sleep_for(milliseconds(900));
       int status = 0;
       EXPECT_EQ(XCliDB_Logon(greeted.get(), "bob", "bob-pw1", 1, &status, nullptr, 0), 0);
       // Once logged on, no limit applies unless one is set.
       Connection bob = range.LogonAs("bob", "bob-pw1");
       std::this_thread::sleep_for(milliseconds(900));
       EXPECT_EQ(QueryText(bob.get(), "select CCODE from UUSR where NID = 309"), "bob");
     }},
    {"IdlingAfterTheLogon",
     [](hrzsrv::ServerOptions& options, hrzsrv::EngineLimits&) {
       options.idleAfterLogon = milliseconds(500);
     },
     [](Range& range) {
       Connection idle = range.LogonAs("bob", "bob-pw1");
       Connection busy = range.LogonAs("alice", "alice-pw1");
       for (int i = 0; i < 20; ++i) {
         EXPECT_EQ(QueryText(busy.get(), "select CCODE from UUSR where NID = 308"), "alice");
         std::this_thread::sleep_for(milliseconds(50));
       }
       EXPECT_EQ(QueryText(idle.get(), "select 1"), "<none>")
           << "a row always comes, unless closed";
     }},
    {"HoldingThreadsWithSilentConnections", Defaults,
     [](Range& range) {
       asio::io_context io;
       const int before = CountEntries("/proc/self/task");
       std::vector<asio::ip::tcp::socket> silent;
       for (int i = 0; i < 50; ++i) silent.push_back(range.Silent(io));
       Connection adm = range.LogonAs("adm", kAdminPassword);  // all of them are accepted
       EXPECT_EQ(CountEntries("/proc/self/task"), before);
       EXPECT_EQ(QueryText(adm.get(), "select count(*) from UUSR"), "20");
     }},
    {"SendingAFrameLargerThanAStrangerMay", Defaults,
     [](Range& range) {
       Connection stranger = range.Open();
       const wire::Bytes big(p::kMaxFrameBeforeLogon, 'x');
       EXPECT_EQ(Exchange(stranger.get(), p::kHello, big).status, p::kFrameTooLarge);
       // The frame was read and dropped: the connection is still in step.
       EXPECT_EQ(Exchange(stranger.get(), p::kHello, wire::BodyWriter().Finish()).status, p::kOk);
       EXPECT_EQ(Exchange(stranger.get(), p::kQuery, SqlBody("select 1")).status, p::kNotLoggedOn);
     }},
};

class ChannelAttackTest : public ::testing::TestWithParam<Attack> {};

TEST_P(ChannelAttackTest, IsRefused) {
  Range range(GetParam().configure);
  ASSERT_TRUE(range.server);
  GetParam().run(range);
}

INSTANTIATE_TEST_SUITE_P(Attacks, ChannelAttackTest, ::testing::ValuesIn(kAttacks),
                         [](const ::testing::TestParamInfo<Attack>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace hrztest
