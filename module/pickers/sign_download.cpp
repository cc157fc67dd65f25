#include "pickers/sign_download.h"

#include <cstring>
#include <string>

#include "endpoint/krnprocessguard.h"
#include "entry/module_state.h"
#include "entry/requests.h"
#include "hrzcommon/text.h"
#include "package_file.h"
#include "platform.h"
#include "support/record_text.h"
#include "xclidb.h"

namespace hrz {
namespace {

constexpr int kDeviceKind = 0;
constexpr DWORD kTempPathCapacity = 256;  // at most 255 characters

// The extension, without the dot, of the file stored in the column of the record nid; empty
// when there is none.
std::string StoredExtension(tagXCliDB* db, const char* column, int nid) {
  const std::string stored = ReadUserText(db, column, nid).value_or("");
  char extension[MAX_PATH] = {};
  if (!PDSplitPathAndNameNoExtAndExt(stored.c_str(), nullptr, nullptr, extension)) return {};
  return extension;
}

// The temporary folder ending in a separator; empty when there is none.
std::string TempFolder() {
  char folder[kTempPathCapacity] = {};
  const DWORD length = GetTempPathA(kTempPathCapacity, folder);
  if (length == 0 || length >= kTempPathCapacity) return {};
  std::string path(folder, length);
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  return path;
}

bool PutResult(const std::string& path, char* localPath) {
  if (path.size() >= kSignPathCapacity) return false;
  std::memcpy(localPath, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

int FetchUserSignFile(const char* column, char* localPath, int nid) {
  if (localPath == nullptr) return 0;
  *localPath = '\0';
  // Only the two signature columns: the name goes into the statement text.
  const bool bitmap = EqualsNoCase(column, "CBMPSG");
  if (!bitmap && !EqualsNoCase(column, "CDWGSG")) return 0;
  CKrnProcessGuard guard(kDeviceKind);
  tagXCliDB* db = Module().db;
  const std::string extension = StoredExtension(db, column, nid);
  const std::string folder = TempFolder();
  if (folder.empty()) return 0;
  if (extension == "xzp") {
    const std::string package = folder + "xprtmp.xzp";
    char unpacked[MAX_PATH] = {};
    if (!DownloadUserFile(db, "UUSR", column, nid, package.c_str()) ||
        !XPrdObjCtrl::GetFile(package.c_str(), nullptr, nullptr, unpacked, nullptr)) {
      return 0;
    }
    return PutResult(unpacked, localPath) ? 1 : 0;
  }
  const std::string local =
      folder + (bitmap ? "BMPSG_" : "DWGSG_") + std::to_string(nid) + (bitmap ? ".bmp" : ".dwg");
  if (!DownloadUserFile(db, "UUSR", column, nid, local.c_str())) return 0;
  return PutResult(local, localPath) ? 1 : 0;
}

int DownloadUserFile(tagXCliDB* db, const char* table, const char* column, int nid,
                     const char* localPath) {
  std::string serverName;
  if (!StoredFileNameRequest(db, table, column, nid, &serverName)) return 0;
  return XCliDB_GetFile(db, 0, serverName.c_str(), localPath, 0, 0, 0, 0, 0, 0) != 0 ? 1 : 0;
}

}  // namespace hrz
