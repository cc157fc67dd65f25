#include "online_sessions.h"

#include <unistd.h>

#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine_state.h"
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

std::string BootId() {
  return FirstLineOf("/proc/sys/kernel/random/boot_id");
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

bool IsRunning(const std::string& process) {
  if (process == ThisProcess()) return true;
  const std::size_t first = process.find('/');
  const std::size_t second = process.find('/', first + 1);
  if (first == std::string::npos || second == std::string::npos) return false;
  if (process.compare(0, first, BootId()) != 0) return false;
  const std::string pid = process.substr(first + 1, second - first - 1);
  const std::string start = StartTimeOf(pid);
  return !start.empty() && process.compare(second + 1, std::string::npos, start) == 0;
}

std::string SessionKey(std::uint64_t session) {
  return ThisProcess() + "#" + std::to_string(session);
}

// The sessions of this process that are logged on. It decides for this process's rows, so
// that a session is offline the moment it ends even when the store cannot drop its row then.
class LiveSessions {
 public:
  void Add(const std::string& key) {
    std::lock_guard lock(mutex_);
    keys_.insert(key);
  }
  void Remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    keys_.erase(key);
  }
  bool Has(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return keys_.contains(key);
  }

 private:
  mutable std::mutex mutex_;
  std::set<std::string> keys_;  // guarded by mutex_
};

LiveSessions& Live() {
  static LiveSessions live;
  return live;
}

// A session's row counts while its process runs and, in this process, while it is live.
bool Counts(const std::string& process, const std::string& key) {
  return process == ThisProcess() ? Live().Has(key) : IsRunning(process);
}

// A session's store connection may be ending on a thread that serves others; it waits for
// the store only briefly, as its row no longer counts anyway.
constexpr int kOfflineBusyMs = 200;

}  // namespace

void NameThisProcess() {
  ThisProcess();
}

bool NoteOnline(StoreDb& db, const SessionState& session, double now) {
  Live().Add(SessionKey(session.id));
  Statement add(
      db,
      "INSERT INTO SRV_SESSION(CSESSION, NUSER, CPROCESS, CPEER, NUPCLIVR, DSTART) "
      "VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT(CSESSION) DO UPDATE SET NUSER = excluded.NUSER, "
      "CPROCESS = excluded.CPROCESS, CPEER = excluded.CPEER, NUPCLIVR = excluded.NUPCLIVR, "
      "DSTART = excluded.DSTART");
  add.Bind(1, SessionKey(session.id)).Bind(2, std::int64_t{session.userNid});
  add.Bind(3, ThisProcess()).Bind(4, session.peer);
  add.Bind(5, std::int64_t{session.clientVersion}).Bind(6, now);
  return add.Done();
}

void NoteOffline(StoreDb& db, std::uint64_t session) {
  Live().Remove(SessionKey(session));
  db.LimitWait(std::chrono::milliseconds(kOfflineBusyMs));
  Statement remove(db, "DELETE FROM SRV_SESSION WHERE CSESSION = ?");
  remove.Bind(1, SessionKey(session));
  remove.Done();
}

bool IsOnline(StoreDb& db, int userNid) {
  std::vector<std::string> ended;
  bool online = false;
  {
    Statement read(db, "SELECT CPROCESS, CSESSION FROM SRV_SESSION WHERE NUSER = ?");
    read.Bind(1, std::int64_t{userNid});
    while (!online && read.Row()) {
      const std::string process = read.Text(0);
      std::string key = read.Text(1);
      if (Counts(process, key)) {
        online = true;
      } else {
        ended.push_back(std::move(key));
      }
    }
  }
  for (const std::string& key : ended) {
    Statement drop(db, "DELETE FROM SRV_SESSION WHERE CSESSION = ?");
    drop.Bind(1, key);
    drop.Done();
  }
  return online;
}

}  // namespace hrzsrv
