#include <atomic>
#include <cstring>
#include <new>
#include <utility>

#include "dispatch.h"
#include "online_sessions.h"
#include "store.h"

namespace hrzsrv {

bool SessionState::IsAdmin() const {
  return LoggedOn() && userNid == kAdminNid;
}

std::string EngineState::DummyHash() {
  std::lock_guard lock(dummyMutex_);
  if (dummyHash_.empty()) {
    // Left empty when the hash pool is full; the next unknown code tries again.
    unsigned char secret[32];
    randombytes_buf(secret, sizeof secret);
    HashPassword({reinterpret_cast<const char*>(secret), sizeof secret}, &dummyHash_);
  }
  return dummyHash_;
}

namespace {

// Virtual machine steps between two looks at the clock while client SQL runs.
constexpr int kProgressSteps = 1000;

// Stops client SQL whose client has gone or whose time is up. The engine's own statements
// always run to the end, so a failed logon is counted even when its client hangs up.
int StopRunawaySql(void* context) {
  auto* session = static_cast<SessionState*>(context);
  if (!session->clientSqlActive) return 0;
  if (session->clientGone.load(std::memory_order_relaxed)) return 1;
  if (session->sqlDeadline != SteadyTime{} &&
      std::chrono::steady_clock::now() >= session->sqlDeadline) {
    session->sqlTimedOut = true;
    return 1;
  }
  return 0;
}

}  // namespace

bool AttachStore(EngineState& engine, SessionState& session, std::string* error) {
  if (session.db) return true;
  std::unique_ptr<StoreDb> db = OpenStoreDb(engine.path, false, error);
  if (!db) return false;
  // Client SQL runs on the SQLite connection itself, behind the authorizer and the step limit.
  if (sqlite3* raw = db->sqlite()) {
    if (!session.sqlGuard.Install(*db)) {
      if (error) *error = "cannot read the store's tables";
      return false;
    }
    sqlite3_progress_handler(raw, kProgressSteps, StopRunawaySql, &session);
  }
  session.db = std::move(db);
  return true;
}

void DetachStore(SessionState& session) {
  session.pgClient.Close();
  session.db.reset();
}

namespace {

std::atomic<std::uint64_t> g_nextSession{1};

class SessionImpl final : public Session {
 public:
  SessionImpl(EngineState& engine, std::string peer) : engine_(engine) {
    state_.id = g_nextSession++;
    state_.peer = std::move(peer);
    randombytes_buf(state_.sealNonce.data(), state_.sealNonce.size());
  }
  ~SessionImpl() override {
    if (state_.db) engine_.presence->NoteOffline(*state_.db, state_.id);
  }

  std::uint32_t MaxFrameSize() const override {
    return state_.LoggedOn() ? protocol::kMaxFrameSize : protocol::kMaxFrameBeforeLogon;
  }
  bool LoggedOn() const override { return state_.LoggedOn(); }
  bool WaitsOnPasswordHash(std::span<const std::uint8_t> frame) const override {
    return frame.size() >= protocol::kHeaderSize &&
           hrzsrv::WaitsOnPasswordHash(frame[protocol::kClassByte], frame[protocol::kGroupByte],
                                       frame[protocol::kCodeByte]);
  }
  void ClientGone() override {
    state_.clientGone = true;
    state_.pgClient.ClientGone();
  }

  Outcome Handle(std::span<const std::uint8_t> frame, bool oneWay) override {
    Outcome outcome;
    if (frame.size() < protocol::kHeaderSize) {
      outcome.close = true;
      return outcome;
    }
    const std::span<const std::uint8_t> body = frame.subspan(protocol::kHeaderSize);
    Reply reply;
    try {
      reply = Answer(frame.data(), body);
    } catch (const std::bad_alloc&) {
      // Out of memory in one request: that request fails, the server goes on.
      reply = Reply::Status(protocol::kServerError);
    }
    if (oneWay) return outcome;
    if (reply.none) reply = Reply::Status(protocol::kOk);
    outcome.reply.assign(frame.begin(), frame.begin() + protocol::kHeaderSize);
    outcome.reply[protocol::kCodeByte] = reply.status;
    if (reply.group) outcome.reply[protocol::kGroupByte] = *reply.group;
    if (reply.startsExchange) StartExchange(std::move(*reply.startsExchange), outcome.reply.data());
    outcome.reply.insert(outcome.reply.end(), reply.body.begin(), reply.body.end());
    return outcome;
  }

 private:
  // Keeps the first step of a two-step exchange for the next request and names it in the
  // reply header, which the client sends back with the continuation.
  void StartExchange(PrivilegeStep step, std::uint8_t* replyHeader) {
    step.number = ++state_.privilegeExchanges;
    wire::WriteInt32(replyHeader + protocol::kExchangeNodeByte, step.node);
    wire::WriteInt32(replyHeader + protocol::kExchangeNumberByte,
                     static_cast<std::int32_t>(step.number));
    state_.privilegeStep = std::move(step);
  }

  Reply Answer(const std::uint8_t* header, std::span<const std::uint8_t> body) {
    // A first step lasts one request: its continuation takes it, anything else drops it.
    std::optional<PrivilegeStep> step = std::exchange(state_.privilegeStep, std::nullopt);
    const Route* route = FindRoute(header[protocol::kClassByte], header[protocol::kGroupByte],
                                   header[protocol::kCodeByte]);
    if (route == nullptr) return Reply::Status(protocol::kUnknownRequest);
    if (!route->beforeLogon && !state_.LoggedOn()) return Reply::Status(protocol::kNotLoggedOn);
    if (!wire::IsWellFormedBody(body)) {
      // A malformed message ends a record save in progress, as every refused save message does.
      state_.pendingSave = PendingSave{};
      return Reply::BadMessage();
    }
    Context context{engine_, state_, {header, protocol::kHeaderSize}, std::move(step)};
    wire::BodyReader reader(body);
    Reply reply = route->handler(context, reader);
    // A field over its kind's limit is not malformed; it gets a status of its own.
    if (reply.status == protocol::kBadMessage && reader.OverLimit()) {
      reply = Reply::Status(protocol::kFieldTooLong);
    }
    return reply;
  }

  EngineState& engine_;
  SessionState state_;
};

class EngineImpl final : public Engine {
 public:
  EngineState& state() { return state_; }
  ~EngineImpl() override { sodium_memzero(state_.secretKey.data(), state_.secretKey.size()); }

  std::unique_ptr<Session> NewSession(const std::string& peer, std::string*) override {
    return std::make_unique<SessionImpl>(state_, peer);
  }

 private:
  EngineState state_;
};

}  // namespace

std::unique_ptr<Engine> Engine::Open(const std::string& path, std::shared_ptr<const Clock> clock,
                                     std::string* error, EngineLimits limits) {
  if (!InitCrypto()) {
    if (error) *error = "libsodium cannot start";
    return nullptr;
  }
  std::unique_ptr<StoreDb> db = OpenStoreDb(path, false, error);
  if (!db) return nullptr;
  auto engine = std::make_unique<EngineImpl>();
  EngineState& state = engine->state();
  if (!LoadKeypair(*db, &state.publicKey, &state.secretKey)) {
    if (error) *error = path + " is not a store (no server key)";
    return nullptr;
  }
  if (!UpgradeSchema(*db, error)) return nullptr;
  state.path = path;
  state.clock = clock ? std::move(clock) : SystemClock();
  state.limits = limits;
  state.presence = Presence::Start(path, state.clock, limits.heartbeat, error);
  if (!state.presence) return nullptr;
  return engine;
}

}  // namespace hrzsrv
