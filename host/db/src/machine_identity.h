// What the client tells the server of its machine at logon: a code that stays the same on
// the same machine, the machine's name and its interfaces' hardware addresses.
#pragma once

#include <string>
#include <vector>

namespace hrzdb {

struct MachineFacts {
  std::string machineId;                       // the system's machine id; may be empty
  std::vector<std::string> hardwareAddresses;  // "00-1A-2B-3C-4D-5E", sorted, no loopback
  std::string hostName;
};

// Reads the facts of the machine this process runs on.
MachineFacts ReadMachineFacts();
// 30 decimal digits derived from the machine id, or without one from the hardware addresses,
// or without those from the host name. The facts themselves cannot be read back from it.
std::string MachineCodeFrom(const MachineFacts& facts);
// The hardware addresses joined by ", ".
std::string HardwareAddressList(const MachineFacts& facts);

}  // namespace hrzdb
