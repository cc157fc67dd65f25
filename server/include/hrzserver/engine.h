// The server engine: a store (an SQLite file or a PostgreSQL database) and the sessions that
// answer request messages on it. The same engine runs inside a client process (embedded) and behind
// hrzserver's TCP listener. No Qt and no host headers here.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace hrzsrv {

// The server's notion of now; abstract so tests can set the time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::time_t Now() const = 0;
};
std::shared_ptr<const Clock> SystemClock();

// A user of the sample organisation with the password it was given.
struct SampleAccount {
  std::string code;
  std::string password;
  std::string note;
};

// Creates a new store with the administrator "adm": a file, which must not exist, or the
// schema in an empty PostgreSQL database (postgresql://...).
bool CreateStore(const std::string& location, const std::string& adminPassword, std::string* error);
// Adds the sample organisation to a store that holds only the administrator. accounts
// receives every sample user with its password (the administrator is not listed).
bool AddSampleOrganisation(const std::string& path, std::vector<SampleAccount>* accounts,
                           std::string* error);

class Engine;

// One client's conversation: its logged-on user and version, and from the logon on its own
// store connection. A session is used by one thread at a time (ClientGone excepted) and
// must end before its engine.
class Session {
 public:
  virtual ~Session() = default;
  struct Outcome {
    std::vector<std::uint8_t> reply;  // 35-byte header + body; empty when none is due
    bool close = false;               // the stream can no longer be trusted
  };
  // frame is a 35-byte header and a body. oneWay: the sender reads no reply.
  virtual Outcome Handle(std::span<const std::uint8_t> frame, bool oneWay) = 0;
  // The largest frame this session takes now: small until a logon, so that a stranger
  // cannot make the server hold large buffers.
  virtual std::uint32_t MaxFrameSize() const = 0;
  // True from a successful logon until a logoff or a failed logon.
  virtual bool LoggedOn() const = 0;
  // True when the request of this frame waits on a password hash, so that a server may run
  // it apart from light requests.
  virtual bool WaitsOnPasswordHash(std::span<const std::uint8_t>) const { return false; }
  // The client has gone: a statement of client SQL running for this session stops soon.
  // Safe from any thread, also while Handle runs.
  virtual void ClientGone() {}
};

// How the engines on one store, in this process, on this machine and elsewhere, tell each
// other that they still run, so that each answers for the sessions of all (who is online).
struct Heartbeat {
  // Between two notes of this engine in the store, from a thread of its own.
  std::chrono::milliseconds interval{15000};
  // An engine elsewhere whose last note is older than this, by this engine's clock, has gone:
  // its sessions are offline. The servers' clocks must agree well within grace - interval.
  std::chrono::seconds grace{60};
  // Names the engine in the store; empty: "boot id/pid/process start/engine number", which
  // tells apart every engine of every process and machine.
  std::string engineKey;
};

struct EngineLimits {
  // A statement of client SQL stops after this long; zero or less: no limit.
  std::chrono::milliseconds statementTimeLimit{30000};
  Heartbeat heartbeat;
};

class Engine {
 public:
  virtual ~Engine() = default;
  // Opens an existing store and starts the engine's heartbeat; closing the engine stops it and
  // takes the engine's rows from the store. clock may be null for the system clock.
  static std::unique_ptr<Engine> Open(const std::string& path, std::shared_ptr<const Clock> clock,
                                      std::string* error, EngineLimits limits = {});
  // A new session; it holds no store connection until it logs on. Null (and error) when it
  // cannot start.
  virtual std::unique_ptr<Session> NewSession(const std::string& peer, std::string* error) = 0;
};

}  // namespace hrzsrv
