#include "login/lgnmacip.h"

#include <algorithm>
#include <string_view>

#include "hrzcommon/text.h"

namespace hrz {
namespace {

constexpr std::size_t kListPieceMin = 2;
constexpr std::size_t kListPieceMax = 255;
constexpr std::size_t kIpPartMax = 3;
constexpr std::size_t kMachinePieceMax = 127;

bool IsEveryone(std::string_view piece) {
  return EqualsNoCase(piece, "all") || EqualsNoCase(piece, "<all>");
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The list walk both login lists share: the first piece that fails makes the list invalid.
template <typename PieceTest>
int IsValidList(const char* list, PieceTest isValidPiece) {
  if (list == nullptr) return 1;
  for (std::string_view piece : SplitText(list, ",;\r\n")) {
    // A separator followed by CR or LF leaves an empty piece here, which is skipped like
    // every piece too short to be an entry.
    if (piece.size() < kListPieceMin || piece.size() > kListPieceMax) continue;
    const std::string_view entry = TrimBlanks(piece);
    if (!IsEveryone(entry) && !isValidPiece(entry)) return 0;
  }
  return 1;
}

bool HoldsOneMachineCode(std::string_view piece) {
  return std::count_if(piece.begin(), piece.end(), IsDigit) == kMachineCodeDigits;
}

}  // namespace

int IsValidLgnIp(const char* pattern) {
  if (pattern == nullptr) return 0;
  const std::vector<std::string_view> parts = SplitText(pattern, ".");
  if (parts.size() != 4) return 0;
  for (std::string_view part : parts) {
    if (part.empty() || part.size() > kListPieceMax) return 0;
    const std::string_view trimmed = TrimBlanks(part);
    if (trimmed.empty() || trimmed.size() > kIpPartMax) return 0;
    for (char c : trimmed) {
      if (!IsDigit(c) && c != '*' && c != '?') return 0;
    }
  }
  return 1;
}

int IsValidLgnIpList(const char* list) {
  return IsValidList(
      list, [](std::string_view piece) { return IsValidLgnIp(std::string(piece).c_str()) == 1; });
}

int CountMachineCodes(const char* list) {
  if (list == nullptr) return 0;
  int codes = 0;
  for (std::string_view piece : SplitText(list, ",;")) {
    if (piece.empty() || piece.size() > kMachinePieceMax) continue;
    if (HoldsOneMachineCode(TrimBlanks(piece))) ++codes;
  }
  return codes;
}

int IsValidLgnMacList(const char* list) {
  return IsValidList(list, [](std::string_view piece) {
    return CountMachineCodes(std::string(piece).c_str()) == 1;
  });
}

}  // namespace hrz
