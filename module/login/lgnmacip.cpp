#include "login/lgnmacip.h"

#include <string_view>

#include "hrzcommon/login_lists.h"
#include "hrzcommon/text.h"

namespace hrz {
namespace {

constexpr std::size_t kListPieceMin = 2;
constexpr std::size_t kListPieceMax = 255;
constexpr std::size_t kMachinePieceMax = 127;

// The list walk both login lists share: the first piece that fails makes the list invalid.
// Unlike the logon's reading, a piece of blanks is an entry here, and not a valid one.
template <typename PieceTest>
int IsValidList(const char* list, PieceTest isValidPiece) {
  if (list == nullptr) return 1;
  for (std::string_view piece : SplitText(list, ",;\r\n")) {
    // A separator followed by CR or LF leaves an empty piece here, which is skipped like
    // every piece too short to be an entry.
    if (piece.size() < kListPieceMin || piece.size() > kListPieceMax) continue;
    const std::string_view entry = TrimBlanks(piece);
    if (!IsEveryoneEntry(entry) && !isValidPiece(entry)) return 0;
  }
  return 1;
}

}  // namespace

int IsValidLgnIp(const char* pattern) {
  return pattern != nullptr && IsLoginIpPattern(pattern) ? 1 : 0;
}

int IsValidLgnIpList(const char* list) {
  return IsValidList(list, [](std::string_view piece) { return IsLoginIpPattern(piece); });
}

int CountMachineCodes(const char* list) {
  if (list == nullptr) return 0;
  int codes = 0;
  for (std::string_view piece : SplitText(list, ",;")) {
    if (piece.empty() || piece.size() > kMachinePieceMax) continue;
    if (IsMachineCodeEntry(TrimBlanks(piece))) ++codes;
  }
  return codes;
}

int IsValidLgnMacList(const char* list) {
  return IsValidList(list, [](std::string_view piece) {
    return CountMachineCodes(std::string(piece).c_str()) == 1;
  });
}

}  // namespace hrz
