// The machine code the client logs on with: 30 digits that follow the machine id, then the
// hardware addresses, then the host name, and that stay the same for the same machine.
#include <gtest/gtest.h>
#include <sodium.h>

#include <set>
#include <string>

#include "machine_identity.h"

namespace hrzdb {
namespace {

TEST(MachineIdentity, CodesFollowTheStrongestFactAndStayTheSame) {
  ASSERT_GE(sodium_init(), 0);
  const MachineFacts byId{"3d1219f0c1a44b6f9b2f1c0e7a5d8e42", {"00-1A-2B-3C-4D-5E"}, "ws1"};
  MachineFacts sameIdOtherHardware = byId;
  sameIdOtherHardware.hardwareAddresses = {"02-42-AC-11-00-02"};
  sameIdOtherHardware.hostName = "renamed";
  MachineFacts otherId = byId;
  otherId.machineId = "3d1219f0c1a44b6f9b2f1c0e7a5d8e43";
  const MachineFacts byHardware{"", {"00-1A-2B-3C-4D-5E"}, "ws1"};
  const MachineFacts byOtherHardware{"", {"00-1A-2B-3C-4D-5F"}, "ws1"};
  const MachineFacts byHost{"", {}, "ws1"};
  const MachineFacts byOtherHost{"", {}, "ws2"};

  const std::string code = MachineCodeFrom(byId);
  EXPECT_EQ(code.size(), 30u);
  EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << code;
  EXPECT_EQ(MachineCodeFrom(byId), code);
  EXPECT_EQ(MachineCodeFrom(sameIdOtherHardware), code) << "the id decides when there is one";
  const std::set<std::string> distinct{code,
                                       MachineCodeFrom(otherId),
                                       MachineCodeFrom(byHardware),
                                       MachineCodeFrom(byOtherHardware),
                                       MachineCodeFrom(byHost),
                                       MachineCodeFrom(byOtherHost)};
  EXPECT_EQ(distinct.size(), 6u);
  EXPECT_EQ(code.find("3d1219"), std::string::npos);
}

TEST(MachineIdentity, ThisMachinesFactsAreReadTheSameEachTime) {
  const MachineFacts first = ReadMachineFacts();
  const MachineFacts second = ReadMachineFacts();
  EXPECT_EQ(MachineCodeFrom(first), MachineCodeFrom(second));
  EXPECT_EQ(HardwareAddressList(first), HardwareAddressList(second));
  for (const std::string& address : first.hardwareAddresses) {
    EXPECT_EQ(address.size(), 17u) << address;
    EXPECT_EQ(address.find(':'), std::string::npos) << "written with dashes: " << address;
  }
}

}  // namespace
}  // namespace hrzdb
