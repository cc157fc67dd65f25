#include "org/org_rights.h"

#include "hrzcommon/text.h"
#include "xclidb.h"

namespace hrz {

bool IsAdminCode(std::string_view code) {
  return EqualsNoCase(TrimBlanks(code), "adm");
}

std::string LoggedOnCode(tagXCliDB* db) {
  char code[128] = {};
  if (!XCliDB_GetUNO(db, code)) return {};
  return std::string(TrimBlanks(code));
}

bool LoggedOnAsAdmin(tagXCliDB* db) {
  return IsAdminCode(LoggedOnCode(db));
}

bool HasModifyRight(tagXCliDB* db, const char* code) {
  if (LoggedOnAsAdmin(db)) return true;
  int modify = 0;
  return XCliGetFuncPvg(db, -1, code, nullptr, &modify) && modify != 0;
}

bool MayModifyOrganisation(tagXCliDB* db) {
  return HasModifyRight(db, "UUSR");
}

}  // namespace hrz
