// The host's "XNEWCODE" button plug-in: proposes a code that no record of a table uses yet.
#include <cstring>
#include <string>

#include "hrzcommon/text.h"
#include "xclidb.h"

namespace {

constexpr int kCodeBuffer = 256;

bool CodeTaken(tagXCliDB* db, const std::string& table, const std::string& code) {
  std::string sql =
      "select NID from " + table + " where upper(CCODE) = upper(" + hrz::SqlQuoted(code) + ")";
  XCliGenRS rs(db);
  // A failed lookup counts as taken so that no duplicate is ever proposed.
  if (!rs.Open(1, sql.c_str())) return true;
  return !rs.IsEOF();
}

}  // namespace

// entry(20, "XNEWCODE", params, buffer): params[0] is the connection; buffer holds the
// table name and receives the code, the table's first letter and the next free number.
int XNewCodeEntry(int code, const char* command, void** params, char* out) {
  if (code != 20 || command == nullptr || !hrz::EqualsNoCase(command, "XNEWCODE") ||
      params == nullptr || params[0] == nullptr || out == nullptr) {
    return 0;
  }
  auto* db = static_cast<tagXCliDB*>(params[0]);
  std::string table(out, strnlen(out, kCodeBuffer - 1));
  if (table.size() > 32 || !hrz::IsSqlName(table)) return 0;
  int next = 0;
  XCliGenRS rs(db);
  std::string sql = "select max(NID) from " + table;
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF()) return 0;
  rs.GetFieldValue(0, XCLI_TYPE_INT32, &next, 4);
  rs.Close();
  for (int tries = 0; tries < 1000; ++tries) {
    std::string candidate = std::string(1, table[0]) + std::to_string(next + 1 + tries);
    while (candidate.size() < 6) candidate.insert(1, "0");
    if (!CodeTaken(db, table, candidate)) {
      hrz::CopyBounded(out, kCodeBuffer, candidate);
      return 1;
    }
  }
  return 0;
}
