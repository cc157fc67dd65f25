#include "machine_identity.h"

#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "hrzcommon/login_lists.h"
#include "hrzcommon/text.h"

namespace hrzdb {
namespace {

constexpr std::string_view kCodeDomain = "hrzuser machine code\n";

std::string FirstLineOf(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return std::string(hrz::TrimBlanks(line));
}

// "aa:bb:cc:dd:ee:ff" as "AA-BB-CC-DD-EE-FF"; empty for an all-zero or malformed address.
std::string DashedHardwareAddress(std::string_view colons) {
  if (colons.size() != 17 || colons.find_first_not_of("0:") == std::string_view::npos) return {};
  std::string out = hrz::UpperAscii(colons);
  std::replace(out.begin(), out.end(), ':', '-');
  return out;
}

}  // namespace

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    facts.machineId = FirstLineOf(path);
    if (!facts.machineId.empty()) break;
  }
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/net", error)) {
    if (entry.path().filename() == "lo") continue;
    std::string address = DashedHardwareAddress(FirstLineOf(entry.path() / "address"));
    if (!address.empty()) facts.hardwareAddresses.push_back(std::move(address));
  }
  std::sort(facts.hardwareAddresses.begin(), facts.hardwareAddresses.end());
  facts.hardwareAddresses.erase(
      std::unique(facts.hardwareAddresses.begin(), facts.hardwareAddresses.end()),
      facts.hardwareAddresses.end());
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) facts.hostName = host;
  return facts;
}

std::string MachineCodeFrom(const MachineFacts& facts) {
  // The machine id comes first: virtual interfaces and their addresses come and go.
  std::string source = std::string(kCodeDomain);
  if (!facts.machineId.empty()) {
    source += "id " + facts.machineId;
  } else if (!facts.hardwareAddresses.empty()) {
    source += "hw " + HardwareAddressList(facts);
  } else {
    source += "host " + facts.hostName;
  }
  std::array<unsigned char, crypto_generichash_BYTES> hash{};
  crypto_generichash(hash.data(), hash.size(),
                     reinterpret_cast<const unsigned char*>(source.data()), source.size(), nullptr,
                     0);
  std::string code;
  for (std::size_t i = 0; i < hrz::kMachineCodeDigits; ++i) {
    code.push_back(static_cast<char>('0' + hash[i] % 10));
  }
  return code;
}

std::string HardwareAddressList(const MachineFacts& facts) {
  std::string out;
  for (const std::string& address : facts.hardwareAddresses) {
    out += (out.empty() ? "" : ", ") + address;
  }
  return out;
}

}  // namespace hrzdb
