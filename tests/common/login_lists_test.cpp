// Reading the login lists: IP patterns against addresses, machine codes against a machine,
// and the list walk that decides which pieces count.
#include <gtest/gtest.h>

#include <string>

#include "hrzcommon/login_lists.h"

namespace hrz {
namespace {

constexpr const char* kCode = "100200300400500600700800900101";
constexpr const char* kOtherCode = "314159265358979323846264338327";

TEST(LoginLists, IpPatternsAgainstAddresses) {
  struct Case {
    const char* pattern;
    const char* address;
    bool matches;
  };
  const Case cases[] = {
      {"127.0.0.1", "127.0.0.1", true},
      {"127.0.0.1", "127.0.0.2", false},
      {"127.0.0.*", "127.0.0.255", true},
      {"127.*.*.*", "127.10.20.30", true},
      {"*.*.*.*", "8.8.8.8", true},
      {"192.168.10.*", "192.168.100.1", false},
      {"192.168.1?.*", "192.168.10.4", true},
      {"192.168.1?.*", "192.168.1.4", false},  // "?" is exactly one digit
      {"192.168.1?.*", "192.168.100.4", false},
      {"10.0.0.2*", "10.0.0.2", true},  // "*" may be empty
      {"10.0.0.2*", "10.0.0.255", true},
      {"10.0.0.2*", "10.0.0.3", false},
      {"10.0.0.2**", "10.0.0.211", true},
      {"010.0.0.1", "10.0.0.1", true},  // digits alone compare as a number
      {"999.0.0.1", "231.0.0.1", false},
      {" 127 .0.0.1", "127.0.0.1", true},  // parts are trimmed
      {"127.0.0.1", "::ffff:127.0.0.1", true},
      {"127.0.0.1", "::1", false},
      {"127.0.0.1", "embedded", false},
      {"127.0.0.1", "127.0.0.1.5", false},
      {"127.0.0.1", "127.0.0.256", false},
      {"127.0.1", "127.0.0.1", false},         // three parts
      {"127.0.0.1.", "127.0.0.1", false},      // a dot after the fourth part
      {"127.0.0.1000", "127.0.0.100", false},  // a part of four characters
      {"127.0.0.a", "127.0.0.1", false},
      {"127..0.1", "127.0.0.1", false},  // an empty part is no pattern here
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IpPatternMatches(c.pattern, c.address), c.matches)
        << c.pattern << " against " << c.address;
  }
}

TEST(LoginLists, IpListsAllowWhatAnEntryNames) {
  struct Case {
    const char* list;
    bool allows127;  // "127.0.0.1"
  };
  const Case cases[] = {
      {"", true},
      {"  \r\n ", true},  // no entries at all
      {"x", true},        // a one-character piece is skipped
      {"all", true},
      {"<ALL>", true},
      {"10.0.0.*, all", true},
      {"192.168.10.*", false},
      {"192.168.10.*; 127.0.0.*", true},
      {"192.168.10.*\r\n127.0.0.1", true},
      {"192.168.10.*,\r\n127.0.0.1", true},  // a separator swallows the line end after it
      {"garbage", false},                    // an entry that is no pattern names nothing
      {"127.0.0.1 127.0.0.2", false},        // two patterns in one piece make none
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoginIpListAllows(c.list, "127.0.0.1"), c.allows127) << "list \"" << c.list << "\"";
  }
}

TEST(LoginLists, MachineListsHoldCodesByTheirDigits) {
  const std::string grouped = "100-200-300-400-500-600-700-800-900-101";
  struct Case {
    std::string list;
    std::string machine;
    bool allows;
  };
  const Case cases[] = {
      {"", kCode, true},
      {"<all>", kCode, true},
      {kCode, kCode, true},
      {kCode, kOtherCode, false},
      {std::string(kOtherCode) + ", " + kCode, kCode, true},
      {grouped, kCode, true},  // separators inside a code are ignored
      {kCode, "100 200 300 400 500 600 700 800 900 101", true},
      {"00-1A-2B-3C-4D-5E", kCode, false},                    // a hardware address is no code
      {std::string(kCode) + " " + kOtherCode, kCode, false},  // two codes in one piece
      {std::string(kCode) + "1", std::string(kCode) + "1", false},
      {kCode, "", false},  // no code sent
      {kCode, "12345", false},
      {"", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoginMachineListAllows(c.list, c.machine), c.allows)
        << "list \"" << c.list << "\", machine \"" << c.machine << "\"";
  }
}

TEST(LoginLists, EntriesFollowTheRecordEditorsWalk) {
  const std::string longPiece(256, '1');
  EXPECT_EQ(LoginListEntries(" a1 ;b;\r\n\tc2\t,  ," + longPiece),
            (std::vector<std::string_view>{"a1", "c2"}));
  EXPECT_TRUE(IsMachineCodeEntry("1234567890 1234567890 1234567890"));
  EXPECT_FALSE(IsMachineCodeEntry("1234567890 1234567890 123456789"));
  EXPECT_EQ(MachineCodeDigitsOf("a1-2 3"), "123");
}

}  // namespace
}  // namespace hrz
