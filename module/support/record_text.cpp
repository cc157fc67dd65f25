#include "support/record_text.h"

#include "hrzcommon/text.h"
#include "xclidb.h"

namespace hrz {
namespace {

constexpr int kValueCapacity = 512;

}  // namespace

std::optional<std::string> ReadUserText(tagXCliDB* db, const char* column, int nid) {
  XCliGenRS rs(db);
  const std::string sql =
      "select " + std::string(column) + " from UUSR where NID = " + std::to_string(nid);
  char text[kValueCapacity] = {};
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF() ||
      !rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, kValueCapacity)) {
    return std::nullopt;
  }
  return std::string(TrimBlanks(text));
}

}  // namespace hrz
