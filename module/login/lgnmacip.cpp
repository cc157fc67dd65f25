#include "login/lgnmacip.h"

#include <string_view>

#include "entry/texts.h"
#include "hrzcommon/login_lists.h"
#include "hrzcommon/text.h"
#include "login/login_prompts.h"
#include "xclidb.h"

namespace hrz {
namespace {

constexpr std::size_t kListPieceMin = 2;
constexpr std::size_t kListPieceMax = 255;
constexpr std::size_t kMachinePieceMax = 127;
constexpr int kDeptIpDots = 3;
constexpr long long kDeptIpPartMax = 255;
// Large enough for any list a client can store: the record save sends at most 8063 bytes.
constexpr int kStoredListCapacity = 8192;

UnitTexts T("dlg_user_lgnmac");

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

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
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

DeptIpFault FindDeptIpFault(std::string_view piece) {
  int dots = 0;
  for (char c : piece) {
    if (c == '.') {
      ++dots;
    } else if (!IsDigit(c) && c != '*' && c != '?') {
      return DeptIpFault::kBadCharacter;
    }
  }
  if (dots != kDeptIpDots) return DeptIpFault::kWrongShape;
  for (std::string_view part : SplitText(piece, ".")) {
    long long value = 0;
    for (char c : part) {
      value = value * 10 + (IsDigit(c) ? c - '0' : 1);
      if (value > kDeptIpPartMax) return DeptIpFault::kWrongShape;
    }
  }
  return DeptIpFault::kNone;
}

int CheckDeptIp(const char* piece, HWND owner) {
  const std::string shown = piece != nullptr ? piece : "";
  const DeptIpFault fault = FindDeptIpFault(shown);
  if (fault == DeptIpFault::kNone) return 1;
  ShowLoginMessage(owner,
                   shown + T(fault == DeptIpFault::kBadCharacter ? "ip err char" : "ip wrong"),
                   LoginCaption::kAddresses);
  return 0;
}

bool ReadLgnIp(tagXCliDB* db, int nid, std::string* list) {
  const std::string sql = "select CLGNIP from UUSR where NID = " + std::to_string(nid);
  XCliGenRS rs(db);
  if (list == nullptr || !rs.Open(1, sql.c_str()) || rs.IsEOF()) return false;
  std::string text(kStoredListCapacity, '\0');
  if (!rs.GetFieldValue(0, XCLI_TYPE_TEXT, text.data(), kStoredListCapacity)) return false;
  *list = TrimBlanks(text.c_str());
  return true;
}

int WriteLgnIp(tagXCliDB* db, int nid, const char* list) {
  const std::string sql = "update UUSR set CLGNIP = " + SqlQuoted(list != nullptr ? list : "") +
                          " where NID = " + std::to_string(nid);
  return XCliDB_ExecuteSQL(db, sql.c_str(), 0, 0) == 1 ? 1 : 0;
}

}  // namespace hrz
