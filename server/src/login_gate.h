// Whether the login lists let a user log on from where the client is, and the record of the
// machine a logon came from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store_db.h"

namespace hrzsrv {

// Where a logon comes from: the addresses the server sees (the peer's one address over TCP;
// the local machine's addresses in process) and what the client says of its machine.
struct LogonPlace {
  std::vector<std::string> addresses;
  std::string machineCode;  // 30 digits; empty when the client sent none
  std::string machineName;  // the client's host name
  std::string hardwareAddresses;
};

// The place of a session with that peer: "embedded" stands for the local machine.
std::vector<std::string> PeerAddresses(const std::string& peer);

struct LogonRefusal {
  std::uint8_t status;  // kLogonIpRefused or kLogonMachineRefused
  std::string column;   // "CLGNIP" or "CLGNMAC"
  std::string message;  // names the list that refused and what it was shown
};

// Every list on the way up must admit the logon: the user's own "CLGNIP" and "CLGNMAC", and
// those of every department and role above it, all levels up. The administrator answers to
// its own lists only. None when nothing refuses; a store that fails refuses nothing here
// (the logon fails on it elsewhere).
std::optional<LogonRefusal> CheckLoginLists(StoreDb& db, int userNid, const LogonPlace& place);

// Notes a successful logon in "USETUPINFO" under the machine's code: a new row the first
// time (DCRTE first seen), else the row of that code brought up to date (DMODI last seen,
// CUSER, CIPS, CNAME, CMACS, CORGCODES, NUPCLIVR). Nothing without a machine code.
bool RecordMachine(StoreDb& db, const LogonPlace& place, const std::string& userCode, int userNid,
                   std::int32_t clientVersion, double now);

}  // namespace hrzsrv
