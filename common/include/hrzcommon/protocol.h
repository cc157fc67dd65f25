// Numbers of the request protocol, the one place where the server, the database client and
// the module take them from. docs/protocol.md describes the format.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hrz::protocol {

// ---- Message layout ----
constexpr std::size_t kHeaderSize = 35;
constexpr std::size_t kClassByte = 4;
constexpr std::size_t kGroupByte = 5;
constexpr std::size_t kCodeByte = 6;  // request code; the reply status in a reply
constexpr std::uint16_t kTerminator = 32767;
// Field lengths 0..65535 except the terminator value; our own writers stay below it.
constexpr std::size_t kMaxWriterField = 32766;
// A long value (SQL text, result rows, file content) travels as a 4-byte total length field
// followed by chunks of at most this many bytes.
constexpr std::size_t kLongChunk = 32000;

// ---- TCP framing: [u32 LE length of header+body][u8 flags][header][body] ----
constexpr std::size_t kFramePrefixSize = 5;
constexpr std::uint8_t kFlagOneWay = 0x01;  // the sender awaits no reply
constexpr std::uint32_t kMaxFrameSize = 64u * 1024u * 1024u;
constexpr std::uint32_t kMaxFrameBeforeLogon = 64u * 1024u;

// ---- Request kinds: class, group, code ----
struct Kind {
  std::uint8_t cls, group, code;
};

// Host's own kinds.
constexpr Kind kHello{1, 2, 1};       // before logon: public key, server path
constexpr Kind kLogon{1, 1, 1};       // user code, sealed password, client version
constexpr Kind kLogoff{1, 1, 2};      // no body
constexpr Kind kQuery{3, 1, 1};       // SQL (long) -> result set (long)
constexpr Kind kExecute{3, 1, 2};     // SQL (long) -> changed rows
constexpr Kind kGetSetting{4, 1, 1};  // section, key -> value
constexpr Kind kServerTime{4, 2, 1};  // -> year, month, day, hour, minute, second
constexpr Kind kPutLog{4, 3, 1};      // action, table, nid, value, text
constexpr Kind kFuncPvg{4, 4, 1};     // nid, privilege code -> view, modify
constexpr Kind kGetFile{66, 1, 1};    // server file name -> content (long)
constexpr Kind kPutFile{66, 1, 2};    // server file name, content (long)

// The module's kinds answered by the server.
constexpr Kind kVerifyPassword{5, 2, 30};  // user code, sealed password
constexpr Kind kSetPassword{5, 1, 1};      // user code or empty, sealed password
constexpr Kind kFindCode{5, 2, 1};         // user code
constexpr Kind kReload{2, 4, 4};           // one field of two 32-bit values
constexpr Kind kDownloadName{65, 6, 10};   // server path
constexpr Kind kUploadName{65, 7, 2};      // table, column, NID, extension
constexpr Kind kOnlineState{2, 3, 15};     // user code with its zero
constexpr Kind kOnlineAck{2, 3, 3};        // header alone, one-way

// The two values of a kReload body, by who asks.
struct ReloadScope {
  std::uint32_t first, second;
};
constexpr ReloadScope kReloadFromUserManager{5, 4};
constexpr ReloadScope kReloadFromPrivilegeEditor{65, 80};

// The module's kinds the server does not answer yet (status 253).
constexpr Kind kAttachToNode{5, 1, 10};     // node, record (32-bit each)
constexpr Kind kDeleteNode{5, 5, 10};       // node NID
constexpr Kind kDeleteUser{5, 5, 1};        // user NID
constexpr Kind kRemoveUser{5, 5, 2};        // link NID of the user's place in the tree
constexpr Kind kReadPrivileges{5, 2, 20};   // node NID; then a continuation, empty body
constexpr Kind kSavePrivileges{5, 1, 15};   // node NID, marks with zero; then the grantors
constexpr Kind kUploadFileName{65, 7, 2};   // "UUSR", column, user NID, extension
constexpr Kind kStoredFileName{65, 7, 1};   // table, column, record NID
constexpr Kind kRecordSaveLast{68, 4, 1};   // the last (or only) message of a record save
constexpr Kind kRecordSaveEarly{68, 4, 2};  // each earlier message of a record save

// ---- Statuses ----
constexpr std::uint8_t kOk = 1;        // host's own kinds: done
constexpr std::uint8_t kFailed = 2;    // host's own kinds: refused; field 1 is the reason
constexpr std::uint8_t kNotFound = 4;  // host's own kinds: no such setting, file or privilege

constexpr std::uint8_t kLogonOk = 31;     // also: password verified
constexpr std::uint8_t kLogonWrong = 32;  // field 1 "pwd_try_left=N" when a limit is set
constexpr std::uint8_t kLogonLocked = 34;
constexpr std::uint8_t kPasswordSet = 1;
constexpr std::uint8_t kPasswordNoRight = 3;  // also: verifying another user's password
constexpr std::uint8_t kPasswordFailed = 2;
constexpr std::uint8_t kCodeHeld = 2;  // field 1: the holder's NID
constexpr std::uint8_t kCodeFree = 4;
constexpr std::uint8_t kReloadDone = 5;
constexpr std::uint8_t kReloadNoRight = 6;
constexpr std::uint8_t kDownloadNameGroup = 6;
constexpr std::uint8_t kDownloadNameOk = 10;
constexpr std::uint8_t kDownloadNameMissing = 11;
constexpr std::uint8_t kUploadNameOk = 64;  // field 1: the server file name to put
constexpr std::uint8_t kUserOnline = 2;
constexpr std::uint8_t kUserOffline = 4;

constexpr std::uint8_t kAttached = 11;  // field 1: a 32-bit value
constexpr std::uint8_t kNodeDeleted = 11;
constexpr std::uint8_t kNodeNotEmpty = 12;
constexpr std::uint8_t kUserDeleted = 3;           // also: removed from a department or role
constexpr std::uint8_t kPrivilegeMarks = 22;       // field 1: one mark per catalogue entry
constexpr std::uint8_t kPrivilegeGrantors = 21;    // field 1: 4 bytes per mark
constexpr std::uint8_t kPrivilegeMarksTaken = 17;  // send the grantors next
constexpr std::uint8_t kPrivilegesSaved = 16;
constexpr std::uint8_t kFileNameGiven = 64;  // field 1: the server file name
// A record save answers the request code as its status. The reply of the last message
// carries the saved record block as its first field; counted from the reply's start, its
// 32-bit item NID sits at kRecordItemNidOffset and its link NID at kRecordLinkNidOffset.
constexpr std::size_t kRecordBlockSize = 192;
constexpr std::size_t kRecordItemNidOffset = 133;
constexpr std::size_t kRecordLinkNidOffset = 178;

constexpr std::uint8_t kBadMessage = 251;      // body fields malformed or wrong in number
constexpr std::uint8_t kNotLoggedOn = 252;     // only logon and hello before a logon
constexpr std::uint8_t kUnknownRequest = 253;  // no handler for class, group, code
constexpr std::uint8_t kServerError = 254;     // the store failed; nothing was changed

// ---- Result set payload (inside the long value of a kQuery reply) ----
// u32 columns, each name (u32 length + bytes); u32 rows; per cell u8 type + u32 length + text.
enum CellType : std::uint8_t {
  kCellNull = 0,
  kCellInteger = 1,
  kCellReal = 2,
  kCellText = 3,
  kCellBlob = 4
};

}  // namespace hrz::protocol
