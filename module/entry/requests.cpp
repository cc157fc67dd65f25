#include "entry/requests.h"

#include <optional>

#include "entry/request_channel.h"
#include "hrzcommon/text.h"
#include "platform_ui.h"
#include "xclidb.h"

namespace hrz {
namespace {

namespace p = protocol;

constexpr int kPasswordReplyCapacity = 163;
constexpr int kLargeReplyCapacity = 8192;
constexpr int kEncryptedCapacity = 256;
// A reply of one 32-bit field and the terminator.
constexpr int kOneInt32Reply = 8;

// The body of the two password requests: user code, then the sealed password. False when
// the password could not be sealed.
bool PasswordBody(const char* userCode, const char* plain, wire::BodyWriter* body) {
  char sealed[kEncryptedCapacity] = {};
  if (plain == nullptr || !XCliEncryptPassword(plain, sealed)) return false;
  body->PutText(userCode != nullptr ? userCode : "");
  body->PutText(sealed);
  return true;
}

// Sends a body and returns the reply status, or -1 when the send failed.
int StatusOf(tagXCliDB* db, p::Kind kind, wire::BodyWriter body, int capacity, int timeoutMs) {
  RequestHeader header(kind);
  std::vector<unsigned char> reply(capacity);
  const int received = SendRequest(db, header, std::move(body), reply, timeoutMs);
  return received == XCLI_SEND_FAILED ? -1 : header.status();
}

wire::BodyWriter Int32Body(std::int32_t value) {
  wire::BodyWriter body;
  body.PutInt32(value);
  return body;
}

// Sends, then reads field 1 as a server file name of 1 to maxName bytes when the reply has
// at least minReply bytes, the wanted status and, when wantedGroup is 0 or more, that group.
bool FileNameExchange(tagXCliDB* db, p::Kind kind, wire::BodyWriter body, int capacity,
                      int timeoutMs, int minReply, int wantedGroup, int wantedStatus,
                      std::size_t maxName, std::string* serverName) {
  serverName->clear();
  RequestHeader header(kind);
  std::vector<unsigned char> reply(capacity);
  const int received = SendRequest(db, header, std::move(body), reply, timeoutMs);
  if (received == XCLI_SEND_FAILED || received < minReply || header.status() != wantedStatus ||
      (wantedGroup >= 0 && header.group() != wantedGroup)) {
    return false;
  }
  std::string name;
  if (!ReplyFields(reply, received).NextText(&name, maxName) || name.empty()) return false;
  *serverName = std::move(name);
  return true;
}

}  // namespace

VerifyReply VerifyPasswordRequest(tagXCliDB* db, const char* userCode, const char* plainPassword) {
  VerifyReply result;
  wire::BodyWriter body;
  if (!PasswordBody(userCode, plainPassword, &body)) return result;
  RequestHeader header(p::kVerifyPassword);
  unsigned char reply[kPasswordReplyCapacity];
  const int received = SendRequest(db, header, std::move(body), reply, kTimeoutTenMinutes);
  if (received == XCLI_SEND_FAILED) return result;
  switch (header.status()) {
    case p::kLogonOk:
      result.outcome = VerifyOutcome::kCorrect;
      return result;
    case p::kLogonWrong:
      result.outcome = VerifyOutcome::kWrong;
      break;
    case p::kLogonLocked:
      result.outcome = VerifyOutcome::kLocked;
      break;
  }
  std::string text;
  if (received > 4 && ReplyFields(reply, received).NextText(&text, kVerifyReplyTextMax)) {
    result.replyText = std::move(text);
  }
  return result;
}

SetPasswordOutcome SetPasswordRequest(tagXCliDB* db, const char* userCode,
                                      const char* plainNewPassword) {
  wire::BodyWriter body;
  if (!PasswordBody(userCode, plainNewPassword, &body)) return SetPasswordOutcome::kFailed;
  switch (
      StatusOf(db, p::kSetPassword, std::move(body), kPasswordReplyCapacity, kTimeoutTenMinutes)) {
    case p::kPasswordSet:
      return SetPasswordOutcome::kSet;
    case p::kPasswordNoRight:
      return SetPasswordOutcome::kNoRight;
    default:
      return SetPasswordOutcome::kFailed;
  }
}

bool IsUserCodeFree(tagXCliDB* db, const char* userCode, int editingNid) {
  wire::BodyWriter body;
  body.PutText(userCode != nullptr ? userCode : "");
  RequestHeader header(p::kFindCode);
  unsigned char reply[kLargeReplyCapacity];
  const int received = SendRequest(db, header, std::move(body), reply, kTimeoutTwentyMinutes);
  if (received == XCLI_SEND_FAILED) return false;
  if (header.status() == p::kCodeFree) return true;
  std::int32_t holder = 0;
  return header.status() == p::kCodeHeld && received == kOneInt32Reply &&
         ReplyFields(reply, received).NextInt32(&holder) && holder == editingNid;
}

int AttachToNodeRequest(tagXCliDB* db, std::int32_t node, std::int32_t record) {
  wire::BodyWriter body;
  body.PutInt32(node);
  body.PutInt32(record);
  RequestHeader header(p::kAttachToNode);
  unsigned char reply[1024];
  const int received = SendRequest(db, header, std::move(body), reply, kTimeoutTwentyMinutes);
  std::int32_t value = -1;
  if (received == XCLI_SEND_FAILED || header.status() != p::kAttached ||
      !ReplyFields(reply, received).NextInt32(&value)) {
    return -1;
  }
  return value;
}

DeleteNodeOutcome DeleteNodeRequest(tagXCliDB* db, int nodeNid) {
  switch (StatusOf(db, p::kDeleteNode, Int32Body(nodeNid), 128, kTimeoutTwentyMinutes)) {
    case p::kNodeDeleted:
      return DeleteNodeOutcome::kDeleted;
    case p::kNodeNotEmpty:
      return DeleteNodeOutcome::kNotEmpty;
    default:
      return DeleteNodeOutcome::kFailed;
  }
}

bool DeleteUserRequest(tagXCliDB* db, int userNid) {
  return StatusOf(db, p::kDeleteUser, Int32Body(userNid), kLargeReplyCapacity,
                  kTimeoutTwentyMinutes) == p::kUserDeleted;
}

bool RemoveUserRequest(tagXCliDB* db, int linkNid) {
  return StatusOf(db, p::kRemoveUser, Int32Body(linkNid), kLargeReplyCapacity,
                  kTimeoutTwentyMinutes) == p::kUserDeleted;
}

bool ReadPrivilegeSet(tagXCliDB* db, XCliSendLock* lock, int nid, std::string* marks,
                      std::vector<std::uint32_t>* grantors) {
  marks->clear();
  grantors->clear();
  std::optional<SendLockScope> own;
  if (lock == nullptr) lock = own.emplace(db).lock();
  RequestHeader header(p::kReadPrivileges);
  unsigned char reply[kLargeReplyCapacity];
  int received = SendLocked(db, lock, header, Int32Body(nid), reply, 0);
  std::string read;
  if (received == XCLI_SEND_FAILED || header.status() != p::kPrivilegeMarks ||
      !ReplyFields(reply, received).NextText(&read, kLargeReplyCapacity)) {
    return false;
  }
  // The continuation sends the reply header back unchanged with an empty body.
  received = SendHeaderLocked(db, lock, header, reply, 0);
  std::span<const std::uint8_t> list;
  if (received == XCLI_SEND_FAILED || header.status() != p::kPrivilegeGrantors ||
      !ReplyFields(reply, received).Next(&list) || list.size() != 4 * read.size()) {
    return false;
  }
  *marks = read;
  for (std::size_t i = 0; i < read.size(); ++i) {
    grantors->push_back(static_cast<std::uint32_t>(wire::ReadInt32(list.data() + 4 * i)));
  }
  return true;
}

bool SavePrivilegeSet(tagXCliDB* db, XCliSendLock* lock, int nid, const std::string& marks,
                      const std::vector<std::uint32_t>& grantors) {
  if (grantors.size() != marks.size()) return false;
  std::optional<SendLockScope> own;
  if (lock == nullptr) lock = own.emplace(db).lock();
  wire::BodyWriter first;
  first.PutInt32(nid);
  first.PutTextZ(marks);
  RequestHeader header(p::kSavePrivileges);
  unsigned char reply[kLargeReplyCapacity];
  int received = SendLocked(db, lock, header, std::move(first), reply, 0);
  if (received == XCLI_SEND_FAILED || header.status() != p::kPrivilegeMarksTaken) return false;
  std::vector<unsigned char> list(4 * grantors.size());
  for (std::size_t i = 0; i < grantors.size(); ++i) {
    wire::WriteInt32(list.data() + 4 * i, static_cast<std::int32_t>(grantors[i]));
  }
  wire::BodyWriter second;
  second.PutBytes(list.data(), list.size());
  received = SendLocked(db, lock, header, std::move(second), reply, kTimeoutTwentyMinutes);
  return received != XCLI_SEND_FAILED && header.status() == p::kPrivilegesSaved;
}

ReloadOutcome ReloadServerRequest(tagXCliDB* db, p::ReloadScope scope) {
  char code[128] = {};
  XCliDB_GetUNO(db, code);
  if (!EqualsNoCase(TrimBlanks(code), "adm")) return ReloadOutcome::kNoRight;
  unsigned char values[8];
  wire::WriteInt32(values, static_cast<std::int32_t>(scope.first));
  wire::WriteInt32(values + 4, static_cast<std::int32_t>(scope.second));
  wire::BodyWriter writer;
  writer.PutBytes(values, sizeof values);
  const wire::Bytes body = writer.Finish();
  unsigned char replyHeader[p::kHeaderSize] = {};
  int received = XCLI_SEND_FAILED;
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  {
    SendLockScope scope(db);
    received = XCliDB_SendAndWait1(db, scope.lock(), p::kReload.cls, p::kReload.group,
                                   p::kReload.code, body.data(), static_cast<int>(body.size()),
                                   replyHeader, nullptr, 0, kTimeoutReload);
  }
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (received == XCLI_SEND_FAILED) return ReloadOutcome::kNoAnswer;
  switch (replyHeader[p::kCodeByte]) {
    case p::kReloadDone:
      return ReloadOutcome::kDone;
    case p::kReloadNoRight:
      return ReloadOutcome::kNoRight;
    default:
      return ReloadOutcome::kRefused;
  }
}

bool UploadFileNameRequest(tagXCliDB* db, const char* column, int userNid, const char* extension,
                           std::string* serverName) {
  wire::BodyWriter body;
  body.PutText("UUSR");
  body.PutText(column != nullptr ? column : "");
  body.PutInt32(userNid);
  body.PutText(extension != nullptr ? extension : "");
  return FileNameExchange(db, p::kUploadFileName, std::move(body), kLargeReplyCapacity,
                          kTimeoutTwentyMinutes, 2, -1, p::kFileNameGiven, 260, serverName);
}

bool StoredFileNameRequest(tagXCliDB* db, const char* table, const char* column, int nid,
                           std::string* serverName) {
  wire::BodyWriter body;
  body.PutText(table != nullptr ? table : "");
  body.PutText(column != nullptr ? column : "");
  body.PutInt32(nid);
  return FileNameExchange(db, p::kStoredFileName, std::move(body), kLargeReplyCapacity,
                          kTimeoutTwentyMinutes, 2, -1, p::kFileNameGiven, kLargeReplyCapacity,
                          serverName);
}

bool DownloadNameRequest(tagXCliDB* db, const char* serverPath, std::string* serverName) {
  wire::BodyWriter body;
  body.PutText(serverPath != nullptr ? serverPath : "");
  return FileNameExchange(db, p::kDownloadName, std::move(body), 1024, kTimeoutTenMinutes, 4,
                          p::kDownloadNameGroup, p::kDownloadNameOk, 259, serverName);
}

bool RecordSaveRequest(tagXCliDB* db, XCliSendLock* lock, bool last, const unsigned char* body,
                       int bodyLength, SavedRecordNids* saved) {
  const p::Kind kind = last ? p::kRecordSaveLast : p::kRecordSaveEarly;
  RequestHeader header(kind);
  unsigned char reply[kLargeReplyCapacity];
  const int received = XCliDB_SendAndWait2(db, lock, header.bytes, body, bodyLength, header.bytes,
                                           reply, sizeof reply, 0);
  if (received == XCLI_SEND_FAILED || header.status() != kind.code) return false;
  if (!last) return true;
  if (received < static_cast<int>(p::kRecordBlockSize)) return false;
  const std::int32_t nid = wire::ReadInt32(reply + p::kRecordItemNidOffset);
  if (nid < 1) return false;
  if (saved != nullptr) {
    saved->itemNid = nid;
    const std::int32_t link = wire::ReadInt32(reply + p::kRecordLinkNidReplyOffset);
    saved->linkNid = link >= 1 ? link : -1;
  }
  return true;
}

OnlineState OnlineStateRequest(tagXCliDB* db, const char* userCode) {
  wire::BodyWriter body;
  body.PutTextZ(userCode != nullptr ? userCode : "");
  RequestHeader header(p::kOnlineState);
  unsigned char reply[kLargeReplyCapacity];
  SendLockScope scope(db);
  const int received =
      SendLocked(db, scope.lock(), header, std::move(body), reply, kTimeoutTwentyMinutes);
  if (received == XCLI_SEND_FAILED) return OnlineState::kUnknown;
  if (header.status() != p::kUserOnline) return OnlineState::kOffline;
  // Acknowledge under the same lock: the header alone, no reply awaited.
  header.bytes[p::kCodeByte] = p::kOnlineAck.code;
  XCliDB_Send2(db, header.bytes, nullptr, 0);
  return OnlineState::kOnline;
}

}  // namespace hrz
