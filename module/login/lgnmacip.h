// Login restriction lists: the record editor's checks before a save of the IP address
// patterns of "CLGNIP" and the machine codes of "CLGNMAC" (an invalid list is only a warning
// there; the value is saved as typed), the stricter check of the department IP dialog, and
// the reading and writing of one entry's "CLGNIP".
#pragma once

#include <string>
#include <string_view>

#include "wintypes.h"

struct tagXCliDB;

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

// Why the department IP dialog refuses one trimmed piece of its list: a character other
// than digits, ".", "*" and "?" ("ip err char"), or not four "."-separated parts each
// from 0 to 255 once every wildcard reads as the digit 1 ("ip wrong"). An empty part reads
// as 0.
enum class DeptIpFault { kNone, kBadCharacter, kWrongShape };
DeptIpFault FindDeptIpFault(std::string_view piece);
// 1 when the piece passes; 0 after a message of the piece and its fault owned by owner.
int CheckDeptIp(const char* piece, HWND owner);

// The trimmed "CLGNIP" of the entry nid, whole; false (list unchanged) when it cannot be
// read.
bool ReadLgnIp(tagXCliDB* db, int nid, std::string* list);
// Sets the entry's "CLGNIP" to list; 1 when the server took it, 0 when it failed or refused.
int WriteLgnIp(tagXCliDB* db, int nid, const char* list);

}  // namespace hrz
