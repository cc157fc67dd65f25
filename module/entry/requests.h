// One function per request kind the module sends to the server. Each takes the send lock
// and releases it on every path (or uses the lock its caller holds, where it takes one).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct tagXCliDB;
struct XCliSendLock;

namespace hrz {

constexpr std::size_t kVerifyReplyTextSize = 512;

// kVerifyPassword. 1 when the password is correct. Otherwise 0 with the status
// (0 after a failed send) and, when more than 4 reply bytes came, the first reply field
// copied into replyText (512 bytes). status and replyText may be null.
int VerifyPasswordRequest(tagXCliDB* db, const char* userCode, const char* plainPassword,
                          int* status, char* replyText);

// kSetPassword. userCode null or empty: the logged-in user. 1 when set; otherwise 0 with
// the status (kPasswordNoRight: no right; 0 after a failed send). status may be null.
int SetPasswordRequest(tagXCliDB* db, const char* userCode, const char* plainNewPassword,
                       int* status);

// kFindCode. True when no record holds the code, or when the holder is editingNid.
bool IsUserCodeFree(tagXCliDB* db, const char* userCode, int editingNid);

// kAttachToNode. The 32-bit value the server answers, or -1.
int AttachToNodeRequest(tagXCliDB* db, std::int32_t node, std::int32_t record);

// kDeleteNode. Null when deleted, else the message key "del not empty cat" or "err del node".
const char* DeleteNodeRequest(tagXCliDB* db, int nodeNid);
// kDeleteUser and kRemoveUser: true when the server answers kUserDeleted.
bool DeleteUserRequest(tagXCliDB* db, int userNid);
bool RemoveUserRequest(tagXCliDB* db, int linkNid);

// kReadPrivileges and its continuation, under the caller's lock (null: its own). On any failure
// both outputs are empty.
bool ReadPrivilegeSet(tagXCliDB* db, XCliSendLock* lock, int nid, std::string* marks,
                      std::vector<std::uint32_t>* grantors);
// kSavePrivileges and its continuation; grantors holds one entry per character of marks.
bool SavePrivilegeSet(tagXCliDB* db, XCliSendLock* lock, int nid, const std::string& marks,
                      const std::vector<std::uint32_t>& grantors);

// kReload with the two values (5 and 4, or 65 and 80). Only "adm" may send it. Null when
// done, else the message key "no pvg", "err svr ret" or "no svr ret".
const char* ReloadServerRequest(tagXCliDB* db, std::uint32_t first, std::uint32_t second);

// kUploadFileName. The server file name (1 to 260 bytes) for an upload of a user's file.
bool UploadFileNameRequest(tagXCliDB* db, const char* column, int userNid, const char* extension,
                           std::string* serverName);
// kStoredFileName. The server file name (1 byte or more) of a stored file, for a download.
bool StoredFileNameRequest(tagXCliDB* db, const char* table, const char* column, int nid,
                           std::string* serverName);
// kDownloadName. The server file name (1 to 259 bytes) of a server-kept file.
bool DownloadNameRequest(tagXCliDB* db, const char* serverPath, std::string* serverName);

// kRecordSaveLast (last) or kRecordSaveEarly with a body built by the caller, under the
// caller's lock. True when the reply status equals the request code; for the last message
// also a whole record block in the reply with an item NID of 1 or more, which goes to
// itemNid (may be null).
bool RecordSaveRequest(tagXCliDB* db, XCliSendLock* lock, bool last, const unsigned char* body,
                       int bodyLength, int* itemNid);

// kOnlineState. 1 logged on (and acknowledged), 0 not, -1 when the send failed.
int IsUserOnlineRequest(tagXCliDB* db, const char* userCode);

}  // namespace hrz
