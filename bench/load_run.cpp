// A long run of many clients against one server, or two on PostgreSQL. Run by hand, not by
// ctest:
//
//   build/default/bench/load_run [--postgres] [SECONDS [CLIENTS]]
//                                                 (default 300 seconds, 200 clients)
//
// Serves a sample store in a temporary folder with an hrzserver process (plain TCP on
// loopback); with --postgres, the store is a database of a throw-away PostgreSQL cluster
// served by two hrzserver processes, the clients taking turns between them. Each client logs
// on as the administrator and then, for the whole run, makes requests one after another in a
// fixed mix: of every 20, one logon again, 10 searches by name through client SQL, 4 record saves
// of a user's name, and 5 privilege reads. Prints for each kind the count, the errors, and the 50th
// and 99th percentile of its time; exits 1 when any request failed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server_process.h"
#include "support/client_request.h"
#include "support/save_message.h"
#include "support/temp_dir.h"

namespace {

namespace p = hrz::protocol;
using Clock = std::chrono::steady_clock;

constexpr const char* kPassword = "bench-pw";
// Users of the sample whose names the saves change; none of them logs on here.
constexpr int kSavedUsers[] = {308, 309, 310, 311, 314};

enum Kind { kLogon, kSearch, kSave, kPrivilege, kKinds };
constexpr const char* kKindNames[kKinds] = {"logon", "search", "save", "privilege read"};
// Which request each step of the mix of 20 makes.
constexpr Kind kMix[20] = {kLogon,  kSearch, kSave,      kSearch,    kPrivilege,
                           kSearch, kSave,   kSearch,    kSearch,    kPrivilege,
                           kSearch, kSave,   kSearch,    kPrivilege, kSearch,
                           kSave,   kSearch, kPrivilege, kSearch,    kPrivilege};

bool Logon(tagXCliDB* db) {
  int status = 0;
  return XCliDB_Logon(db, "adm", kPassword, 1, &status, nullptr, 0) != 0;
}

bool Search(tagXCliDB* db, int step) {
  const char letters[] = "aeinorst";
  const std::string sql = std::string("select NID, CCODE, CNAME from UUSR where CNAME like '%") +
                          letters[step % 8] + "%' order by CCODE limit 50";
  XCliGenRS rs(db);
  if (!rs.Open(1, sql.c_str())) return false;
  char text[256];
  for (; !rs.IsEOF(); rs.MoveNext()) {
    if (!rs.GetFieldValue(1, XCLI_TYPE_TEXT, text, sizeof text)) return false;
  }
  return true;
}

bool Save(tagXCliDB* db, int client, int step) {
  const int nid = kSavedUsers[(client + step) % std::size(kSavedUsers)];
  const hrztest::SaveBytes body = hrztest::SaveBody(
      hrztest::UpdateOf(nid), {hrztest::Entry("UUSR.CNAME", "Load " + std::to_string(client) + "." +
                                                                std::to_string(step))});
  return hrztest::SendRequest(db, p::kRecordSaveLast, body).status == p::kRecordSaved;
}

bool ReadPrivilege(tagXCliDB* db) {
  int view = 0, modify = 0;
  return XCliGetFuncPvg(db, -1, "UFUNCPVG", &view, &modify) != 0;
}

struct Results {
  std::mutex mutex;
  std::vector<double> micros[kKinds];
  long errors[kKinds] = {};
  std::string firstError;
};

}  // namespace

int main(int argc, char** argv) {
  const bool postgres = hrzbench::TakeFlag(&argc, argv, "--postgres");
  const double seconds = argc > 1 ? std::atof(argv[1]) : 300.0;
  const int clients = argc > 2 ? std::atoi(argv[2]) : 200;
  hrztest::TempDir dir;
  std::string store = dir.File("store.db");
  if (postgres) {
    store = hrzbench::MakeSamplePgStore(dir.Path(), kPassword);
  } else {
    hrzbench::MakeSampleStore(store, kPassword);
  }
  std::vector<std::unique_ptr<hrzbench::ServerProcess>> servers;
  for (int s = 0; s < (postgres ? 2 : 1); ++s) {
    servers.push_back(std::make_unique<hrzbench::ServerProcess>(store, true));
  }

  std::vector<tagXCliDB*> connections;
  for (int c = 0; c < clients; ++c) {
    const std::string& location = servers[static_cast<std::size_t>(c) % servers.size()]->location;
    connections.push_back(hrzbench::LoggedOnTo(location, "adm", kPassword));
  }
  Results results;
  const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  hrzbench::OnClients(clients, [&](int client) {
    tagXCliDB* db = connections[static_cast<std::size_t>(client)];
    std::vector<double> micros[kKinds];
    long errors[kKinds] = {};
    std::string firstError;
    for (int step = client; Clock::now() < end; ++step) {
      const Kind kind = kMix[step % 20];
      const Clock::time_point start = Clock::now();
      bool ok = false;
      switch (kind) {
        case kLogon:
          ok = Logon(db);
          break;
        case kSearch:
          ok = Search(db, step);
          break;
        case kSave:
          ok = Save(db, client, step);
          break;
        case kPrivilege:
          ok = ReadPrivilege(db);
          break;
        case kKinds:
          break;
      }
      micros[kind].push_back(
          std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      if (!ok) {
        ++errors[kind];
        if (firstError.empty()) firstError = std::string(kKindNames[kind]) + " failed";
      }
    }
    std::lock_guard lock(results.mutex);
    for (int k = 0; k < kKinds; ++k) {
      results.micros[k].insert(results.micros[k].end(), micros[k].begin(), micros[k].end());
      results.errors[k] += errors[k];
    }
    if (results.firstError.empty()) results.firstError = firstError;
  });
  for (tagXCliDB* db : connections) XCliDB_Close(db);

  std::printf("%d clients for %.0f s on %s\n", clients, seconds,
              postgres ? "two servers, one PostgreSQL database" : "one server");
  std::printf("%-16s %10s %8s %12s %12s\n", "request", "count", "errors", "p50 ms", "p99 ms");
  long errors = 0;
  std::vector<double> all;
  for (int k = 0; k < kKinds; ++k) {
    const std::vector<double>& m = results.micros[k];
    std::printf("%-16s %10zu %8ld %12.2f %12.2f\n", kKindNames[k], m.size(), results.errors[k],
                hrzbench::Quantile(m, 0.5) / 1e3, hrzbench::Quantile(m, 0.99) / 1e3);
    errors += results.errors[k];
    all.insert(all.end(), m.begin(), m.end());
  }
  std::printf("%-16s %10zu %8ld %12.2f %12.2f\n", "all", all.size(), errors,
              hrzbench::Quantile(all, 0.5) / 1e3, hrzbench::Quantile(all, 0.99) / 1e3);
  if (errors > 0) std::printf("first error: %s\n", results.firstError.c_str());
  return errors == 0 ? 0 : 1;
}
