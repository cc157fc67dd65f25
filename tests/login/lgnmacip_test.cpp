// The login lists as the record editor checks them: IP patterns and machine codes.
#include <gtest/gtest.h>

#include <string>

#include "login/lgnmacip.h"

namespace hrz {
namespace {

const std::string kCode = "100200300400500600700800900101";  // 30 digits

TEST(LoginIpList, AcceptsPatternsAndTheWordsForEveryone) {
  struct Case {
    const char* list;
    int valid;
  };
  const Case cases[] = {
      {"", 1},
      {"192.168.1.10", 1},
      {"192.168.*.?", 1},
      {"10.0.0.999", 1},      // the value of a part plays no role
      {"10.0.0.1000", 0},     // four digits in a part
      {" 10 . 0 .0. 1 ", 1},  // blanks around parts are trimmed
      {"10.0 0.0.1", 0},      // a blank inside a part
      {"10.0.0", 0},          // three parts
      {"10.0.0.1.", 0},       // a dot after the fourth part
      {"10..0.1", 0},         // an empty part
      {"10.0.0.a", 0},        // a letter
      {"all", 1},             // everyone, in either spelling and any case
      {"<ALL>", 1},
      {"10.0.0.1,all;<all>", 1},
      {"10.0.0.1;10.0.0.x", 0},  // the second piece fails the list
      {"10.0.0.1,\r\n10.0.0.2\n\n", 1},
      {"10.0.0.1,x,10.0.0.2", 1},  // a one-character piece is skipped
      {"10.0.0.1,xy", 0},          // a two-character piece is checked
      {"1.1.1.1, 2.2.2.2 ,3.3.3.3", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidLgnIpList(c.list), c.valid) << c.list;
  EXPECT_EQ(IsValidLgnIpList(nullptr), 1);
  EXPECT_EQ(IsValidLgnIpList((std::string(256, 'x') + ",1.2.3.4").c_str()), 1)
      << "a piece longer than 255 characters is skipped";
  EXPECT_EQ(IsValidLgnIp(nullptr), 0);
}

TEST(LoginMachineList, CountsCodesOfThirtyDigitsWhateverTheirGrouping) {
  struct Case {
    std::string text;
    int codes;
  };
  const Case cases[] = {
      {"", 0},
      {kCode, 1},
      {"100-200-300-400-500 600 700 800 900 101", 1},  // grouped, still 30 digits
      {"00-1A-2B-3C-4D-5E", 0},                        // a MAC address is no machine code
      {kCode + "1", 0},                                // 31 digits
      {kCode + "," + kCode + ";" + kCode, 3},
      {kCode + " " + kCode, 0},  // two codes in one piece
      {" , ;" + kCode + ";;", 1},
      {std::string(98, ' ') + kCode, 0},  // a piece of more than 127 characters
  };
  for (const Case& c : cases) EXPECT_EQ(CountMachineCodes(c.text.c_str()), c.codes) << c.text;
  EXPECT_EQ(CountMachineCodes(nullptr), 0);
}

TEST(LoginMachineList, AcceptsOneCodeOrEveryonePerEntry) {
  struct Case {
    std::string list;
    int valid;
  };
  const Case cases[] = {
      {"", 1},
      {kCode, 1},
      {"All", 1},
      {kCode + ", " + kCode, 1},
      {kCode + "\r\n<all>", 1},
      {kCode + " " + kCode, 0},  // two codes in one entry
      {"00-1A-2B-3C-4D-5E", 0},
      {kCode + ",x", 1},   // a one-character piece is skipped
      {kCode + ", x", 0},  // two characters with the blank: checked
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidLgnMacList(c.list.c_str()), c.valid) << c.list;
  EXPECT_EQ(IsValidLgnMacList(nullptr), 1);
}

// The department IP dialog's rule: wildcards read as the digit 1, every part 0 to 255.
TEST(DeptIpPiece, RefusesOtherCharactersAndPartsBeyondTheRange) {
  struct Case {
    std::string piece;
    DeptIpFault fault;
  };
  const Case cases[] = {
      {"192.168.1.20", DeptIpFault::kNone},
      {"10.0.*.?", DeptIpFault::kNone},
      {"192.168.1.2**", DeptIpFault::kNone},        // reads as 211
      {"192.168.1.3**", DeptIpFault::kWrongShape},  // reads as 311
      {"192.168.1.256", DeptIpFault::kWrongShape},
      {"192.168.1", DeptIpFault::kWrongShape},
      {"1.2.3.4.5", DeptIpFault::kWrongShape},
      {"10..1.1", DeptIpFault::kNone},  // an empty part reads as 0
      {"0.0.0.0255", DeptIpFault::kNone},
      {"1.1.1." + std::string(40, '9'), DeptIpFault::kWrongShape},  // no overflow
      {"all", DeptIpFault::kBadCharacter},
      {"10.0.0.*;10.1.0.*", DeptIpFault::kBadCharacter},  // ";" inside a piece
      {"10.0.0.1\n10.0.0.2", DeptIpFault::kBadCharacter},
      {"10.0. 0.1", DeptIpFault::kBadCharacter},
      {"-1.0.0.1", DeptIpFault::kBadCharacter},
  };
  for (const Case& c : cases) EXPECT_EQ(FindDeptIpFault(c.piece), c.fault) << c.piece;
}

}  // namespace
}  // namespace hrz
