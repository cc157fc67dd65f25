// The login lists of "UUSR": "CLGNIP" (IPv4 address patterns) and "CLGNMAC" (machine codes),
// read the same way by the record editor's checks, the server's logon and the embedded store.
//
// A list is cut at ",", ";", CR and LF; a piece of fewer than 2 or more than 255 characters
// (counted before trimming) is skipped; every other piece, trimmed of blanks and tabs, is an
// entry unless nothing is left of it. "all" and "<all>" (any case) allow everything. A list without
// entries allows everything; otherwise only what one of its entries names is allowed, and an entry
// that is not well formed names nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hrz {

// Digits in a machine code; any other characters written in it are ignored.
constexpr std::size_t kMachineCodeDigits = 30;

// The entries of a login list, trimmed, in the order written.
std::vector<std::string_view> LoginListEntries(std::string_view list);
// "all" or "<all>", without regard to case.
bool IsEveryoneEntry(std::string_view entry);

// Four "."-separated parts of digits, "*" and "?", each 1 to 255 characters as written and
// 1 to 3 after trimming. The numeric value of a part plays no role in the shape.
bool IsLoginIpPattern(std::string_view pattern);
// Whether a well-formed pattern names the IPv4 address (dotted quad, or an IPv4-mapped IPv6
// address "::ffff:a.b.c.d"). A part of digits alone compares as a number ("010" names 10);
// a part with wildcards is matched against the number written in decimal: "*" any run of
// digits, "?" any one ("1?" names 10 to 19, "2*" names 2, 20 to 29 and 200 to 255).
bool IpPatternMatches(std::string_view pattern, std::string_view address);
bool LoginIpListAllows(std::string_view list, std::string_view address);

// The decimal digits of a text, in order.
std::string MachineCodeDigitsOf(std::string_view text);
// Whether a piece of a machine list is one machine code: exactly 30 digits in all.
bool IsMachineCodeEntry(std::string_view entry);
// machineCode is compared by its digits alone; a code without 30 digits matches no entry.
bool LoginMachineListAllows(std::string_view list, std::string_view machineCode);

}  // namespace hrz
