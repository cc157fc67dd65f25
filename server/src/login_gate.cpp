#include "login_gate.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <memory>

#include "hrzcommon/login_lists.h"
#include "hrzcommon/protocol.h"
#include "statement.h"
#include "store.h"

namespace hrzsrv {
namespace {

constexpr const char* kLoopback = "127.0.0.1";

// The IPv4 addresses of this machine's interfaces, loopback first.
std::vector<std::string> LocalAddresses() {
  std::vector<std::string> addresses{kLoopback};
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return addresses;
  std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, freeifaddrs);
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) continue;
    if (text != std::string_view(kLoopback)) addresses.emplace_back(text);
  }
  return addresses;
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& text : texts) out += (out.empty() ? "" : ", ") + text;
  return out;
}

}  // namespace

std::vector<std::string> PeerAddresses(const std::string& peer) {
  if (peer == "embedded") return LocalAddresses();
  return {peer};
}

std::optional<LogonRefusal> CheckLoginLists(StoreDb& db, int userNid, const LogonPlace& place) {
  // The user's own row first, so that a refusal names the most specific list.
  Statement path(db,
                 "WITH RECURSIVE up(n) AS (SELECT CAST(?1 AS BIGINT) UNION SELECT b.NPID FROM "
                 "UUSRBM b JOIN up ON b.NCID = up.n WHERE b.NPID > 0 AND ?2 <> 0) "
                 "SELECT u.CCODE, u.CLGNIP, u.CLGNMAC FROM up JOIN UUSR u ON u.NID = up.n "
                 "ORDER BY u.NID <> ?1, u.NID");
  path.Bind(1, std::int64_t{userNid}).Bind(2, std::int64_t{userNid == kAdminNid ? 0 : 1});
  while (path.Row()) {
    const std::string code = path.Text(0);
    const std::string ips = path.Text(1);
    const std::string machines = path.Text(2);
    bool addressAllowed = false;
    for (const std::string& address : place.addresses) {
      addressAllowed = addressAllowed || hrz::LoginIpListAllows(ips, address);
    }
    if (!addressAllowed) {
      return LogonRefusal{
          hrz::protocol::kLogonIpRefused, "CLGNIP",
          "the login IP list of " + code + " does not allow " + Joined(place.addresses)};
    }
    if (!hrz::LoginMachineListAllows(machines, place.machineCode)) {
      return LogonRefusal{hrz::protocol::kLogonMachineRefused, "CLGNMAC",
                          place.machineCode.empty()
                              ? "the login machine list of " + code +
                                    " admits named machines; this client sent no machine code"
                              : "the login machine list of " + code +
                                    " does not hold this machine (" + place.machineCode + ")"};
    }
  }
  return std::nullopt;
}

bool RecordMachine(StoreDb& db, const LogonPlace& place, const std::string& userCode, int userNid,
                   std::int32_t clientVersion, double now) {
  if (place.machineCode.empty()) return true;
  std::vector<std::string> parents;
  {
    Statement read(db,
                   "SELECT DISTINCT u.CCODE FROM UUSRBM b JOIN UUSR u ON u.NID = b.NPID "
                   "WHERE b.NCID = ? ORDER BY u.CCODE");
    read.Bind(1, std::int64_t{userNid});
    while (read.Row()) parents.push_back(read.Text(0));
  }
  Transaction tx(db);
  if (!tx.ok()) return false;
  Statement update(db,
                   "UPDATE USETUPINFO SET CNAME = ?1, CIPS = ?2, CMACS = ?3, CORGCODES = ?4, "
                   "CUSER = ?5, NUPCLIVR = ?6, DMODI = ?7 WHERE NID = (SELECT min(NID) FROM "
                   "USETUPINFO WHERE CCODE = ?8)");
  Statement insert(db,
                   "INSERT INTO USETUPINFO(CNAME, CIPS, CMACS, CORGCODES, CUSER, NUPCLIVR, DMODI, "
                   "CCODE, DCRTE) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?7)");
  for (Statement* statement : {&update, &insert}) {
    statement->Bind(1, place.machineName).Bind(2, Joined(place.addresses));
    statement->Bind(3, place.hardwareAddresses).Bind(4, Joined(parents)).Bind(5, userCode);
    statement->Bind(6, std::int64_t{clientVersion}).Bind(7, now).Bind(8, place.machineCode);
  }
  if (!update.Done()) return false;
  // A machine seen for the first time gets a record of its own.
  if (db.Changes() == 0 && !insert.Done()) return false;
  return tx.Commit();
}

}  // namespace hrzsrv
