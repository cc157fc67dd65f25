#include "hrzcommon/login_lists.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

#include "hrzcommon/text.h"

namespace hrz {
namespace {

constexpr std::size_t kPieceMin = 2;
constexpr std::size_t kPieceMax = 255;
constexpr std::size_t kIpPartMax = 3;
constexpr std::string_view kMappedIpv4Prefix = "::ffff:";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsWildcard(char c) {
  return c == '*' || c == '?';
}

// "*" matches any run, "?" any one character. Parts of a pattern are at most three
// characters long, so plain recursion stays small.
bool PartGlobMatches(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return text.empty();
  if (pattern.front() == '*') {
    return PartGlobMatches(pattern.substr(1), text) ||
           (!text.empty() && PartGlobMatches(pattern, text.substr(1)));
  }
  return !text.empty() && (pattern.front() == '?' || pattern.front() == text.front()) &&
         PartGlobMatches(pattern.substr(1), text.substr(1));
}

// The four numbers of a dotted quad, each 0 to 255 written without a sign.
std::optional<std::array<int, 4>> ParseIpv4(std::string_view address) {
  if (StartsWithNoCase(address, kMappedIpv4Prefix)) address.remove_prefix(kMappedIpv4Prefix.size());
  const std::vector<std::string_view> parts = SplitText(address, ".");
  if (parts.size() != 4) return std::nullopt;
  std::array<int, 4> numbers{};
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string_view part = parts[i];
    if (part.empty() || part.size() > kIpPartMax || !std::all_of(part.begin(), part.end(), IsDigit))
      return std::nullopt;
    int value = 0;
    for (char c : part) value = value * 10 + (c - '0');
    if (value > 255) return std::nullopt;
    numbers[i] = value;
  }
  return numbers;
}

bool PartMatches(std::string_view part, int number) {
  if (std::none_of(part.begin(), part.end(), IsWildcard)) {
    int value = 0;
    for (char c : part) value = value * 10 + (c - '0');
    return value == number;
  }
  return PartGlobMatches(part, std::to_string(number));
}

template <typename EntryAllows>
bool ListAllows(std::string_view list, EntryAllows entryAllows) {
  const std::vector<std::string_view> entries = LoginListEntries(list);
  if (entries.empty()) return true;
  return std::any_of(entries.begin(), entries.end(), [&](std::string_view entry) {
    return IsEveryoneEntry(entry) || entryAllows(entry);
  });
}

}  // namespace

std::vector<std::string_view> LoginListEntries(std::string_view list) {
  std::vector<std::string_view> entries;
  for (std::string_view piece : SplitText(list, ",;\r\n")) {
    // A separator followed by CR or LF leaves an empty piece, skipped as every short one.
    if (piece.size() < kPieceMin || piece.size() > kPieceMax) continue;
    const std::string_view entry = TrimBlanks(piece);
    if (!entry.empty()) entries.push_back(entry);
  }
  return entries;
}

bool IsEveryoneEntry(std::string_view entry) {
  return EqualsNoCase(entry, "all") || EqualsNoCase(entry, "<all>");
}

bool IsLoginIpPattern(std::string_view pattern) {
  const std::vector<std::string_view> parts = SplitText(pattern, ".");
  if (parts.size() != 4) return false;
  return std::all_of(parts.begin(), parts.end(), [](std::string_view part) {
    if (part.empty() || part.size() > kPieceMax) return false;
    const std::string_view trimmed = TrimBlanks(part);
    return !trimmed.empty() && trimmed.size() <= kIpPartMax &&
           std::all_of(trimmed.begin(), trimmed.end(),
                       [](char c) { return IsDigit(c) || IsWildcard(c); });
  });
}

bool IpPatternMatches(std::string_view pattern, std::string_view address) {
  if (!IsLoginIpPattern(pattern)) return false;
  const std::optional<std::array<int, 4>> numbers = ParseIpv4(address);
  if (!numbers) return false;
  const std::vector<std::string_view> parts = SplitText(pattern, ".");
  for (std::size_t i = 0; i < 4; ++i) {
    if (!PartMatches(TrimBlanks(parts[i]), (*numbers)[i])) return false;
  }
  return true;
}

bool LoginIpListAllows(std::string_view list, std::string_view address) {
  return ListAllows(list, [&](std::string_view entry) { return IpPatternMatches(entry, address); });
}

std::string MachineCodeDigitsOf(std::string_view text) {
  std::string digits;
  std::copy_if(text.begin(), text.end(), std::back_inserter(digits), IsDigit);
  return digits;
}

bool IsMachineCodeEntry(std::string_view entry) {
  return static_cast<std::size_t>(std::count_if(entry.begin(), entry.end(), IsDigit)) ==
         kMachineCodeDigits;
}

bool LoginMachineListAllows(std::string_view list, std::string_view machineCode) {
  const std::string code = MachineCodeDigitsOf(machineCode);
  const bool wellFormed = code.size() == kMachineCodeDigits;
  return ListAllows(list, [&](std::string_view entry) {
    return wellFormed && IsMachineCodeEntry(entry) && MachineCodeDigitsOf(entry) == code;
  });
}

}  // namespace hrz
