#include "pickers/sign_upload.h"

#include <string>

#include "entry/module_state.h"
#include "entry/requests.h"
#include "hrzcommon/text.h"
#include "xclidb.h"

namespace hrz {
namespace {

constexpr int kStoredValueCapacity = 512;  // at most 511 characters of the column

// The column's value in the signed-in user's row, trimmed; false when it cannot be read.
bool ReadStoredValue(tagXCliDB* db, const char* column, int nid, std::string* value) {
  XCliGenRS rs(db);
  const std::string sql =
      "select " + std::string(column) + " from UUSR where NID = " + std::to_string(nid);
  if (!rs.Open(1, sql.c_str()) || rs.IsEOF()) return false;
  char text[kStoredValueCapacity] = {};
  if (!rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, kStoredValueCapacity)) return false;
  *value = std::string(TrimBlanks(text));
  return true;
}

}  // namespace

std::string_view PathExtension(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

int StoreUserSignFile(const char* column, const char* localPath) {
  // Only the two signature columns: the name goes into the statement text.
  if (!EqualsNoCase(column, "CBMPSG") && !EqualsNoCase(column, "CDWGSG")) return 0;
  tagXCliDB* db = Module().db;
  const int nid = XCliGetCurrentUserNID(db);
  std::string stored;
  if (nid < 1 || !ReadStoredValue(db, column, nid, &stored)) return 0;
  if (!EqualsNoCase(PathExtension(stored), PathExtension(localPath))) {
    const std::string clear =
        "update UUSR set " + std::string(column) + " = NULL where NID = " + std::to_string(nid);
    if (XCliDB_ExecuteSQL(db, clear.c_str(), 0, 0) < 1) return 0;
  }
  return UploadUserFile(column, localPath, nid);
}

int UploadUserFile(const char* column, const char* localPath, int nid) {
  tagXCliDB* db = Module().db;
  const std::string extension(PathExtension(localPath));
  std::string serverName;
  if (!UploadFileNameRequest(db, column, nid, extension.c_str(), &serverName)) return 0;
  return XCliDB_PutFile(db, 0, localPath, serverName.c_str(), 0, 0, 0, 0, 0, 0) == 1 ? 1 : 0;
}

}  // namespace hrz
