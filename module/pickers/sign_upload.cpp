#include "pickers/sign_upload.h"

#include <string>

#include "entry/module_state.h"
#include "entry/requests.h"
#include "hrzcommon/text.h"
#include "support/record_text.h"
#include "xclidb.h"

namespace hrz {
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
  const std::optional<std::string> stored = nid >= 1 ? ReadUserText(db, column, nid) : std::nullopt;
  if (!stored) return 0;
  if (!EqualsNoCase(PathExtension(*stored), PathExtension(localPath))) {
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
