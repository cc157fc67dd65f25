// One function per request kind the module sends to the server. Each takes the send lock
// and releases it on every path (or uses the lock its caller holds, where it takes one).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hrzcommon/protocol.h"

struct tagXCliDB;
struct XCliSendLock;

namespace hrz {

// The longest reply text a password verification keeps, without its zero.
constexpr std::size_t kVerifyReplyTextMax = 511;

enum class VerifyOutcome {
  kCorrect,
  kWrong,   // replyText may tell the tries left: "pwd_try_left=N"
  kLocked,  // too many failed attempts today
  kFailed,  // no answer, or any other status
};
struct VerifyReply {
  VerifyOutcome outcome = VerifyOutcome::kFailed;
  std::string replyText;  // the first reply field, when more than 4 reply bytes came
};
// kVerifyPassword. The password is sealed before it is sent; an empty one is sent too.
VerifyReply VerifyPasswordRequest(tagXCliDB* db, const char* userCode, const char* plainPassword);

enum class SetPasswordOutcome { kSet, kNoRight, kFailed };
// kSetPassword. userCode null or empty: the logged-in user.
SetPasswordOutcome SetPasswordRequest(tagXCliDB* db, const char* userCode,
                                      const char* plainNewPassword);

// kFindCode. True when no record holds the code, or when the holder is editingNid.
bool IsUserCodeFree(tagXCliDB* db, const char* userCode, int editingNid);

// kAttachToNode. The 32-bit value the server answers, or -1.
int AttachToNodeRequest(tagXCliDB* db, std::int32_t node, std::int32_t record);

enum class DeleteNodeOutcome {
  kDeleted,
  kNotEmpty,  // shown as "del not empty cat"
  kFailed,    // shown as "err del node"
};
// kDeleteNode.
DeleteNodeOutcome DeleteNodeRequest(tagXCliDB* db, int nodeNid);
// kDeleteUser and kRemoveUser: true when done.
bool DeleteUserRequest(tagXCliDB* db, int userNid);
bool RemoveUserRequest(tagXCliDB* db, int linkNid);

// kReadPrivileges and its continuation, under the caller's lock (null: its own). On any
// failure both outputs are empty.
bool ReadPrivilegeSet(tagXCliDB* db, XCliSendLock* lock, int nid, std::string* marks,
                      std::vector<std::uint32_t>* grantors);
// kSavePrivileges and its continuation; grantors holds one entry per character of marks.
bool SavePrivilegeSet(tagXCliDB* db, XCliSendLock* lock, int nid, const std::string& marks,
                      const std::vector<std::uint32_t>& grantors);

enum class ReloadOutcome {
  kDone,
  kNoRight,   // not "adm" (nothing sent), or the server refused: "no pvg"
  kRefused,   // any other status: "err svr ret"
  kNoAnswer,  // "no svr ret"
};
// kReload, with the wait cursor shown while it runs. Only "adm" may send it.
ReloadOutcome ReloadServerRequest(tagXCliDB* db, protocol::ReloadScope scope);

// kUploadFileName. The server file name (1 to 260 bytes) for an upload of a user's file.
bool UploadFileNameRequest(tagXCliDB* db, const char* column, int userNid, const char* extension,
                           std::string* serverName);
// kStoredFileName. The server file name (1 byte or more) of a stored file, for a download.
bool StoredFileNameRequest(tagXCliDB* db, const char* table, const char* column, int nid,
                           std::string* serverName);
// kDownloadName. The server file name (1 to 259 bytes) of a server-kept file.
bool DownloadNameRequest(tagXCliDB* db, const char* serverPath, std::string* serverName);

// The NIDs a record save's last reply carries: the record's and its link's (-1 when the
// record has no link).
struct SavedRecordNids {
  int itemNid = -1;
  int linkNid = -1;
};
// kRecordSaveLast (last) or kRecordSaveEarly with a body built by the caller, under the
// caller's lock. True when the reply status equals the request code; for the last message
// also a whole record block in the reply with an item NID of 1 or more, whose NIDs go to
// saved (may be null).
bool RecordSaveRequest(tagXCliDB* db, XCliSendLock* lock, bool last, const unsigned char* body,
                       int bodyLength, SavedRecordNids* saved);

enum class OnlineState { kOnline, kOffline, kUnknown };
// kOnlineState. A user found online is acknowledged under the same lock; kUnknown when the
// send failed.
OnlineState OnlineStateRequest(tagXCliDB* db, const char* userCode);

}  // namespace hrz
