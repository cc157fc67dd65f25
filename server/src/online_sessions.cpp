#include "online_sessions.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "engine_state.h"
#include "hrzserver/log.h"
#include "statement.h"

namespace hrzsrv {
namespace {

std::string FirstLineOf(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The start time of a process in clock ticks after boot (field 22 of its stat file); empty
// when it does not run.
std::string StartTimeOf(const std::string& pid) {
  const std::string stat = FirstLineOf("/proc/" + pid + "/stat");
  // The command name (field 2) may hold blanks; the fields after it follow its ")".
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22; ++i) {
    if (!(fields >> field)) return {};
  }
  return field;
}

const std::string& BootId() {
  static const std::string boot = FirstLineOf("/proc/sys/kernel/random/boot_id");
  return boot;
}

// "boot id/pid/start time": names this process apart from any other, also after a restart
// of the machine reuses its pid.
const std::string& ThisProcess() {
  static const std::string key = [] {
    const std::string pid = std::to_string(getpid());
    return BootId() + "/" + pid + "/" + StartTimeOf(pid);
  }();
  return key;
}

std::string NewEngineKey() {
  static std::atomic<unsigned> engines{0};
  return ThisProcess() + "/" + std::to_string(++engines);
}

bool OfThisProcess(std::string_view engine) {
  const std::string& process = ThisProcess();
  return engine.size() > process.size() && engine.starts_with(process) &&
         engine[process.size()] == '/';
}

// An engine of a process of this machine's boot that runs no more: known at once, without
// waiting for its beat to age.
bool EndedHere(std::string_view engine) {
  std::string_view parts[3];
  for (std::string_view& part : parts) {
    const std::size_t slash = engine.find('/');
    part = engine.substr(0, slash);
    engine = slash == std::string_view::npos ? std::string_view() : engine.substr(slash + 1);
  }
  if (parts[0] != BootId() || parts[1].empty()) return false;
  const std::string start = StartTimeOf(std::string(parts[1]));
  return start.empty() || start != parts[2];
}

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

// What a session's row holds, kept while the session is live so that the row can be written
// again should another engine drop it.
struct LiveRow {
  std::string engine;
  std::int64_t user = 0;
  std::string peer;
  std::int64_t clientVersion = 0;
  double start = 0;
};

// The sessions of this process that are logged on, by their keys. They decide for the rows of
// this process's engines, so that a session is offline the moment it ends even when the
// store cannot drop its row then.
class LiveSessions {
 public:
  void Add(const std::string& key, LiveRow row) {
    std::lock_guard lock(mutex_);
    rows_[key] = std::move(row);
  }
  void Remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    rows_.erase(key);
  }
  bool Has(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return rows_.contains(key);
  }
  std::vector<std::pair<std::string, LiveRow>> Of(const std::string& engine) const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::string, LiveRow>> found;
    for (const auto& entry : rows_) {
      if (entry.second.engine == engine) found.push_back(entry);
    }
    return found;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, LiveRow> rows_;  // guarded by mutex_
};

LiveSessions& Live() {
  static LiveSessions live;
  return live;
}

bool WriteSessionRow(StoreDb& db, const std::string& key, const LiveRow& row) {
  Statement add(
      db,
      "INSERT INTO SRV_SESSION(CSESSION, NUSER, CPROCESS, CPEER, NUPCLIVR, DSTART) "
      "VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT(CSESSION) DO UPDATE SET NUSER = excluded.NUSER, "
      "CPROCESS = excluded.CPROCESS, CPEER = excluded.CPEER, NUPCLIVR = excluded.NUPCLIVR, "
      "DSTART = excluded.DSTART");
  add.Bind(1, key).Bind(2, row.user).Bind(3, row.engine).Bind(4, row.peer);
  add.Bind(5, row.clientVersion).Bind(6, row.start);
  return add.Done();
}

// A beat no engine reaches: dropping with it as the cutoff drops whatever the beat.
constexpr std::int64_t kAnyBeat = std::numeric_limits<std::int64_t>::max();

// Inside the caller's write transaction: drops an engine and its sessions' rows, unless it
// beat at cutoff or later (it came back after it was judged gone).
bool DropEngine(StoreDb& db, const std::string& engine, std::int64_t cutoff) {
  {
    Statement fresh(db, "SELECT 1 FROM SRV_PROCESS WHERE CPROCESS = ? AND NBEAT >= ?");
    fresh.Bind(1, engine).Bind(2, cutoff);
    if (fresh.Row()) return true;
  }
  Statement sessions(db, "DELETE FROM SRV_SESSION WHERE CPROCESS = ?");
  Statement process(db, "DELETE FROM SRV_PROCESS WHERE CPROCESS = ?");
  sessions.Bind(1, engine);
  process.Bind(1, engine);
  return sessions.Done() && process.Done();
}

// Engines in a transaction of their own, so that a beat between judging and dropping keeps
// its engine.
void DropEngines(StoreDb& db, const std::vector<std::pair<std::string, std::int64_t>>& engines) {
  if (engines.empty()) return;
  Transaction tx(db);
  bool ok = tx.ok();
  for (const auto& [engine, cutoff] : engines) ok = ok && DropEngine(db, engine, cutoff);
  if (ok) tx.Commit();
}

void DropSessionRow(StoreDb& db, const std::string& key) {
  Statement drop(db, "DELETE FROM SRV_SESSION WHERE CSESSION = ?");
  drop.Bind(1, key);
  drop.Done();
}

// A session's store connection may be ending on a thread that serves others; it waits for
// the store only briefly, as its row no longer counts anyway.
constexpr std::chrono::milliseconds kOfflineWait{200};
// An engine that closes waits this long for its rows to go; left behind, they are dropped
// once its process is seen to have ended or its beat has aged past the grace.
constexpr std::chrono::milliseconds kLeaveWait{2000};

}  // namespace

Presence::Presence(std::string location, std::shared_ptr<const Clock> clock,
                   const Heartbeat& settings)
    : location_(std::move(location)),
      clock_(std::move(clock)),
      settings_(settings),
      key_(settings.engineKey.empty() ? NewEngineKey() : settings.engineKey) {}

std::unique_ptr<Presence> Presence::Start(const std::string& location,
                                          std::shared_ptr<const Clock> clock,
                                          const Heartbeat& settings, std::string* error) {
  std::unique_ptr<Presence> presence(new Presence(location, std::move(clock), settings));
  {
    std::lock_guard lock(presence->beatMutex_);
    std::string why;
    if (!presence->BeatLocked(&why)) {
      if (error) *error = "cannot note the engine in the store: " + why;
      return nullptr;
    }
  }
  presence->started_ = true;
  if (settings.interval.count() > 0)
    presence->thread_ = std::thread(&Presence::Run, presence.get());
  return presence;
}

Presence::~Presence() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(stopMutex_);
      stopping_ = true;
    }
    stopWake_.notify_all();
    thread_.join();
  }
  if (started_) Leave();
}

void Presence::Run() {
  std::unique_lock lock(stopMutex_);
  while (!stopWake_.wait_for(lock, settings_.interval, [this] { return stopping_; })) {
    lock.unlock();
    Beat();
    lock.lock();
  }
}

bool Presence::Beat() {
  std::lock_guard lock(beatMutex_);
  std::string error;
  const bool beat = BeatLocked(&error);
  if (!beat && !beatFailing_) {
    Log(LogLevel::Warn, "cannot note the engine in the store", {{"reason", error}});
  } else if (beat && beatFailing_) {
    Log(LogLevel::Info, "the store takes the engine's notes again");
  }
  beatFailing_ = !beat;
  return beat;
}

bool Presence::BeatLocked(std::string* error) {
  if (!beatDb_) beatDb_ = OpenStoreDb(location_, false, error);
  if (!beatDb_) return false;
  StoreDb& db = *beatDb_;
  const std::int64_t now = clock_->Now();
  const std::int64_t cutoff = now - settings_.grace.count();
  Transaction tx(db);
  Statement beat(db, "UPDATE SRV_PROCESS SET NBEAT = ? WHERE CPROCESS = ?");
  beat.Bind(1, now).Bind(2, key_);
  bool ok = tx.ok() && beat.Done();
  if (ok && db.Changes() == 0) {
    // New, or dropped by another engine that took this one as gone: its live sessions return.
    Statement add(db, "INSERT INTO SRV_PROCESS(CPROCESS, CHOST, NBEAT) VALUES(?, ?, ?)");
    add.Bind(1, key_).Bind(2, HostName()).Bind(3, now);
    ok = add.Done();
    for (const auto& [key, row] : Live().Of(key_)) ok = ok && WriteSessionRow(db, key, row);
  }
  // Engines of this process are known by their live sessions, whatever their beat says.
  std::vector<std::string> silent;
  if (ok) {
    Statement stale(db, "SELECT CPROCESS FROM SRV_PROCESS WHERE NBEAT < ?");
    stale.Bind(1, cutoff);
    while (stale.Row()) {
      std::string engine = stale.Text(0);
      if (!OfThisProcess(engine) && engine != key_) silent.push_back(std::move(engine));
    }
  }
  for (const std::string& engine : silent) ok = ok && DropEngine(db, engine, cutoff);
  // Rows of engines without a beat: dropped ones, or of versions that kept none.
  Statement orphans(db,
                    "DELETE FROM SRV_SESSION WHERE NOT EXISTS (SELECT 1 FROM SRV_PROCESS p "
                    "WHERE p.CPROCESS = SRV_SESSION.CPROCESS)");
  ok = ok && orphans.Done() && tx.Commit();
  if (!ok) {
    if (error) *error = db.LastError();
    beatDb_.reset();  // a broken connection is opened afresh at the next beat
  }
  return ok;
}

void Presence::Leave() {
  std::lock_guard lock(beatMutex_);
  if (!beatDb_) beatDb_ = OpenStoreDb(location_, false, nullptr);
  if (!beatDb_) return;
  beatDb_->LimitWait(kLeaveWait);
  Transaction tx(*beatDb_);
  if (tx.ok() && DropEngine(*beatDb_, key_, kAnyBeat)) tx.Commit();
}

std::string Presence::SessionKey(std::uint64_t session) const {
  return key_ + "#" + std::to_string(session);
}

bool Presence::NoteOnline(StoreDb& db, const SessionState& session, double now) {
  LiveRow row{key_, session.userNid, session.peer, session.clientVersion, now};
  const std::string key = SessionKey(session.id);
  Live().Add(key, row);
  return WriteSessionRow(db, key, row);
}

void Presence::NoteOffline(StoreDb& db, std::uint64_t session) {
  const std::string key = SessionKey(session);
  Live().Remove(key);
  db.LimitWait(kOfflineWait);
  DropSessionRow(db, key);
}

bool Presence::IsOnline(StoreDb& db, int userNid) {
  const std::int64_t cutoff = clock_->Now() - settings_.grace.count();
  std::vector<std::string> ended;
  std::vector<std::pair<std::string, std::int64_t>> gone;
  bool online = false;
  {
    Statement read(db,
                   "SELECT s.CPROCESS, s.CSESSION, p.NBEAT FROM SRV_SESSION s LEFT JOIN "
                   "SRV_PROCESS p ON p.CPROCESS = s.CPROCESS WHERE s.NUSER = ?");
    read.Bind(1, std::int64_t{userNid});
    while (!online && read.Row()) {
      std::string engine = read.Text(0);
      std::string key = read.Text(1);
      if (engine == key_ || OfThisProcess(engine)) {
        online = Live().Has(key);
        if (!online) ended.push_back(std::move(key));
      } else if (EndedHere(engine)) {
        gone.emplace_back(std::move(engine), kAnyBeat);
      } else if (!read.IsNull(2) && read.Int(2) >= cutoff) {
        online = true;
      } else {
        gone.emplace_back(std::move(engine), cutoff);
      }
    }
  }
  for (const std::string& key : ended) DropSessionRow(db, key);
  DropEngines(db, gone);
  return online;
}

}  // namespace hrzsrv
