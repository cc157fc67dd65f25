#include "entry/requests.h"

#include <optional>

#include "entry/request_channel.h"
#include "platform_ui.h"
#include "support/text.h"
#include "xclidb.h"

namespace hrz {
namespace {

constexpr int kPasswordReplyCapacity = 163;
constexpr int kLargeReplyCapacity = 8192;
constexpr int kEncryptedCapacity = 256;
constexpr int kRecordBlockSize = 192;
constexpr int kItemNidOffset = 133;

// The body of the two password requests: user code, then the sealed password.
bool PasswordBody(const char* userCode, const char* plain, MessageBody* body) {
  char sealed[kEncryptedCapacity] = {};
  if (plain == nullptr || !XCliEncryptPassword(plain, sealed)) return false;
  body->AddText(userCode != nullptr ? userCode : "");
  body->AddText(sealed);
  body->Finish();
  return body->ok();
}

// Sends a body of fields and returns the reply status, or -1 when the send failed.
int StatusOf(tagXCliDB* db, int msgClass, int group, int code, const MessageBody& body,
             int capacity, int timeoutMs) {
  RequestHeader header(msgClass, group, code);
  std::vector<unsigned char> reply(capacity);
  const int received = SendRequest(db, header, body, reply.data(), capacity, timeoutMs);
  return received == kSendFailed ? -1 : header.status();
}

MessageBody Int32Body(std::int32_t value) {
  MessageBody body;
  body.AddInt32(value);
  body.Finish();
  return body;
}

// Sends, then reads field 1 as a server file name within its bounds when the reply has
// at least minReply bytes and the wanted status (and group, when given).
bool FileNameExchange(tagXCliDB* db, RequestHeader header, const MessageBody& body, int capacity,
                      int timeoutMs, int minReply, int wantedGroup, int wantedStatus,
                      std::size_t maxName, std::string* serverName) {
  serverName->clear();
  std::vector<unsigned char> reply(capacity);
  const int received = SendRequest(db, header, body, reply.data(), capacity, timeoutMs);
  if (received == kSendFailed || received < minReply || header.status() != wantedStatus ||
      (wantedGroup >= 0 && header.group() != wantedGroup)) {
    return false;
  }
  ReplyReader reader(reply.data(), received);
  std::string_view name;
  if (!reader.NextField(&name, 1, maxName)) return false;
  serverName->assign(name);
  return true;
}

}  // namespace

int VerifyPasswordRequest(tagXCliDB* db, const char* userCode, const char* plainPassword,
                          int* status, char* replyText) {
  if (status != nullptr) *status = 0;
  if (replyText != nullptr) replyText[0] = '\0';
  MessageBody body;
  if (!PasswordBody(userCode, plainPassword, &body)) return 0;
  RequestHeader header(5, 2, 30);
  unsigned char reply[kPasswordReplyCapacity];
  const int received = SendRequest(db, header, body, reply, sizeof reply, kTimeoutTenMinutes);
  if (received == kSendFailed) return 0;
  if (header.status() == 31) return 1;
  if (status != nullptr) *status = header.status();
  std::string_view text;
  ReplyReader reader(reply, received);
  if (received > 4 && replyText != nullptr &&
      reader.NextField(&text, 0, kVerifyReplyTextSize - 1)) {
    CopyBounded(replyText, kVerifyReplyTextSize, text);
  }
  return 0;
}

int SetPasswordRequest(tagXCliDB* db, const char* userCode, const char* plainNewPassword,
                       int* status) {
  if (status != nullptr) *status = 0;
  MessageBody body;
  if (!PasswordBody(userCode, plainNewPassword, &body)) return 0;
  const int answer = StatusOf(db, 5, 1, 1, body, kPasswordReplyCapacity, kTimeoutTenMinutes);
  if (answer < 0) return 0;
  if (status != nullptr) *status = answer;
  return answer == 1 ? 1 : 0;
}

bool IsUserCodeFree(tagXCliDB* db, const char* userCode, int editingNid) {
  MessageBody body;
  body.AddText(userCode != nullptr ? userCode : "");
  body.Finish();
  RequestHeader header(5, 2, 1);
  unsigned char reply[kLargeReplyCapacity];
  const int received = SendRequest(db, header, body, reply, sizeof reply, kTimeoutTwentyMinutes);
  if (received == kSendFailed) return false;
  if (header.status() == 4) return true;
  std::int32_t holder = 0;
  ReplyReader reader(reply, received);
  return header.status() == 2 && received == 8 && reader.NextInt32(&holder) && holder == editingNid;
}

int AttachToNodeRequest(tagXCliDB* db, std::int32_t node, std::int32_t record) {
  MessageBody body;
  body.AddInt32(node);
  body.AddInt32(record);
  body.Finish();
  RequestHeader header(5, 1, 10);
  unsigned char reply[1024];
  const int received = SendRequest(db, header, body, reply, sizeof reply, kTimeoutTwentyMinutes);
  std::int32_t value = -1;
  ReplyReader reader(reply, received);
  if (received == kSendFailed || header.status() != 11 || !reader.NextInt32(&value)) return -1;
  return value;
}

const char* DeleteNodeRequest(tagXCliDB* db, int nodeNid) {
  const int answer = StatusOf(db, 5, 5, 10, Int32Body(nodeNid), 128, kTimeoutTwentyMinutes);
  if (answer == 11) return nullptr;
  return answer == 12 ? "del not empty cat" : "err del node";
}

bool DeleteUserRequest(tagXCliDB* db, int userNid) {
  return StatusOf(db, 5, 5, 1, Int32Body(userNid), kLargeReplyCapacity, kTimeoutTwentyMinutes) == 3;
}

bool RemoveUserRequest(tagXCliDB* db, int linkNid) {
  return StatusOf(db, 5, 5, 2, Int32Body(linkNid), kLargeReplyCapacity, kTimeoutTwentyMinutes) == 3;
}

bool ReadPrivilegeSet(tagXCliDB* db, XCliSendLock* lock, int nid, std::string* marks,
                      std::vector<std::uint32_t>* grantors) {
  marks->clear();
  grantors->clear();
  std::optional<SendLockScope> own;
  if (lock == nullptr) lock = own.emplace(db).lock();
  RequestHeader header(5, 2, 20);
  unsigned char reply[kLargeReplyCapacity];
  int received = SendLocked(db, lock, header, Int32Body(nid), reply, sizeof reply, 0);
  std::string_view field;
  ReplyReader first(reply, received);
  if (received == kSendFailed || header.status() != 22 ||
      !first.NextField(&field, 0, kLargeReplyCapacity)) {
    return false;
  }
  const std::string read(field);
  // The continuation sends the reply header back unchanged with an empty body.
  MessageBody empty(0);
  received = SendLocked(db, lock, header, empty, reply, sizeof reply, 0);
  ReplyReader second(reply, received);
  if (received == kSendFailed || header.status() != 21 ||
      !second.NextField(&field, 4 * read.size(), 4 * read.size())) {
    return false;
  }
  *marks = read;
  for (std::size_t i = 0; i < read.size(); ++i) {
    grantors->push_back(static_cast<std::uint32_t>(
        Int32At(reinterpret_cast<const unsigned char*>(field.data()) + 4 * i)));
  }
  return true;
}

bool SavePrivilegeSet(tagXCliDB* db, XCliSendLock* lock, int nid, const std::string& marks,
                      const std::vector<std::uint32_t>& grantors) {
  if (grantors.size() != marks.size()) return false;
  std::optional<SendLockScope> own;
  if (lock == nullptr) lock = own.emplace(db).lock();
  MessageBody first;
  first.AddInt32(nid);
  first.AddTextWithZero(marks);
  first.Finish();
  RequestHeader header(5, 1, 15);
  unsigned char reply[kLargeReplyCapacity];
  int received = SendLocked(db, lock, header, first, reply, sizeof reply, 0);
  if (received == kSendFailed || header.status() != 17) return false;
  std::vector<unsigned char> list(4 * grantors.size());
  for (std::size_t i = 0; i < grantors.size(); ++i) {
    for (int b = 0; b < 4; ++b)
      list[4 * i + b] = static_cast<unsigned char>(grantors[i] >> (8 * b));
  }
  MessageBody second;
  second.AddBytes(list.data(), list.size());
  second.Finish();
  received = SendLocked(db, lock, header, second, reply, sizeof reply, kTimeoutTwentyMinutes);
  return received != kSendFailed && header.status() == 16;
}

const char* ReloadServerRequest(tagXCliDB* db, std::uint32_t first, std::uint32_t second) {
  char code[128] = {};
  XCliDB_GetUNO(db, code);
  if (!EqualsNoCase(TrimBlanks(code), "adm")) return "no pvg";
  unsigned char values[8];
  for (int b = 0; b < 4; ++b) {
    values[b] = static_cast<unsigned char>(first >> (8 * b));
    values[4 + b] = static_cast<unsigned char>(second >> (8 * b));
  }
  MessageBody body;
  body.AddBytes(values, sizeof values);
  body.Finish();
  unsigned char replyHeader[kRequestHeaderSize] = {};
  int received = kSendFailed;
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  {
    SendLockScope scope(db);
    received = XCliDB_SendAndWait1(db, scope.lock(), 2, 4, 4, body.data(), body.size(), replyHeader,
                                   nullptr, 0, kTimeoutReload);
  }
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (received == kSendFailed) return "no svr ret";
  if (replyHeader[6] == 5) return nullptr;
  return replyHeader[6] == 6 ? "no pvg" : "err svr ret";
}

bool UploadFileNameRequest(tagXCliDB* db, const char* column, int userNid, const char* extension,
                           std::string* serverName) {
  MessageBody body;
  body.AddText("UUSR");
  body.AddText(column != nullptr ? column : "");
  body.AddInt32(userNid);
  body.AddText(extension != nullptr ? extension : "");
  body.Finish();
  return FileNameExchange(db, RequestHeader(65, 7, 2), body, kLargeReplyCapacity,
                          kTimeoutTwentyMinutes, 2, -1, 64, 260, serverName);
}

bool StoredFileNameRequest(tagXCliDB* db, const char* table, const char* column, int nid,
                           std::string* serverName) {
  MessageBody body;
  body.AddText(table != nullptr ? table : "");
  body.AddText(column != nullptr ? column : "");
  body.AddInt32(nid);
  body.Finish();
  return FileNameExchange(db, RequestHeader(65, 7, 1), body, kLargeReplyCapacity,
                          kTimeoutTwentyMinutes, 2, -1, 64, kLargeReplyCapacity, serverName);
}

bool DownloadNameRequest(tagXCliDB* db, const char* serverPath, std::string* serverName) {
  MessageBody body;
  body.AddText(serverPath != nullptr ? serverPath : "");
  body.Finish();
  return FileNameExchange(db, RequestHeader(65, 6, 10), body, 1024, kTimeoutTenMinutes, 4, 6, 10,
                          259, serverName);
}

bool RecordSaveRequest(tagXCliDB* db, XCliSendLock* lock, int code, const unsigned char* body,
                       int bodyLength, int* itemNid) {
  RequestHeader header(68, 4, code);
  unsigned char reply[kLargeReplyCapacity];
  const int received = XCliDB_SendAndWait2(db, lock, header.bytes, body, bodyLength, header.bytes,
                                           reply, sizeof reply, 0);
  if (received == kSendFailed || header.status() != code) return false;
  if (code != 1) return true;
  if (received < kRecordBlockSize) return false;
  const std::int32_t nid = Int32At(reply + kItemNidOffset);
  if (nid < 1) return false;
  if (itemNid != nullptr) *itemNid = nid;
  return true;
}

int IsUserOnlineRequest(tagXCliDB* db, const char* userCode) {
  MessageBody body;
  body.AddTextWithZero(userCode != nullptr ? userCode : "");
  body.Finish();
  RequestHeader header(2, 3, 15);
  unsigned char reply[kLargeReplyCapacity];
  SendLockScope scope(db);
  const int received =
      SendLocked(db, scope.lock(), header, body, reply, sizeof reply, kTimeoutTwentyMinutes);
  if (received == kSendFailed) return -1;
  if (header.status() != 2) return 0;
  // Acknowledge under the same lock: the header alone, no reply awaited.
  header.bytes[6] = 3;
  XCliDB_Send2(db, header.bytes, nullptr, 0);
  return 1;
}

}  // namespace hrz
