// Login restriction lists as the record editor checks them before a save: the IP address
// patterns of "CLGNIP" and the machine codes of "CLGNMAC". An invalid list is only a warning
// there; the value is saved as typed.
#pragma once

namespace hrz {

// One pattern of four "."-separated parts of digits, "*" and "?", each 1 to 3 characters
// after trimming. The numeric value of a part plays no role. 1 valid, 0 invalid.
int IsValidLgnIp(const char* pattern);
// A list cut at ",", ";", CR and LF; pieces of fewer than 2 or more than 255 characters are
// skipped; each other piece, trimmed, is "all", "<all>" (any case) or a valid pattern.
// A null or empty list is valid.
int IsValidLgnIpList(const char* list);

// The pieces of text cut at "," and ";" (1 to 127 characters, trimmed) that hold exactly
// 30 decimal digits.
int CountMachineCodes(const char* list);
// The walk of IsValidLgnIpList; a piece is "all", "<all>" or exactly one machine code.
int IsValidLgnMacList(const char* list);

}  // namespace hrz
