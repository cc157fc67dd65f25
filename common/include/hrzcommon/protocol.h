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

// ---- Values kept in the store ----
// "DMODIPWD" holding this day: the password must be changed at the next logon.
constexpr int kChangeAtNextLogon = 20000101;

// ---- TCP framing: [u32 LE length of header+body][u8 flags][header][body] ----
constexpr std::size_t kFramePrefixSize = 5;
constexpr std::uint8_t kFlagOneWay = 0x01;  // the sender awaits no reply
constexpr std::uint32_t kMaxFrameSize = 64u * 1024u * 1024u;
constexpr std::uint32_t kMaxFrameBeforeLogon = 64u * 1024u;

// ---- Size limits of the values inside a message ----
constexpr std::size_t kMaxUserCode = 127;            // logon and the password kinds
constexpr std::size_t kMaxMachineCode = 64;          // logon: 30 digits, perhaps with separators
constexpr std::size_t kMaxMachineName = 255;         // logon: the client machine's host name
constexpr std::size_t kMaxHardwareAddresses = 1024;  // logon: its interfaces' addresses
constexpr std::size_t kMaxSealedText = 1024;         // a sealed password's base64 text
constexpr std::size_t kMaxSqlText = 1024u * 1024u;
constexpr std::size_t kMaxResultPayload = 48u * 1024u * 1024u;
constexpr std::size_t kMaxFileBytes = 32u * 1024u * 1024u;
// A signature is a small picture or drawing: its upload is refused above this size.
constexpr std::size_t kMaxSignatureBytes = 4u * 1024u * 1024u;

// ---- Sealed passwords ----
// A sealed password opens to: connection nonce, sequence number (u32 LE), password bytes.
// Hello hands out the nonce; each sealed password on a connection has a higher sequence.
constexpr std::size_t kSealNonceSize = 12;
constexpr std::size_t kSealPrefixSize = kSealNonceSize + 4;
constexpr std::int32_t kProtocolVersion = 2;

// ---- Request kinds: class, group, code ----
struct Kind {
  std::uint8_t cls, group, code;
};

// Host's own kinds.
constexpr Kind kHello{1, 2, 1};  // before logon: public key, server path
// Logon: user code, sealed password, client version; then, each optional in this order, the
// machine code (30 digits), the machine's name and its hardware addresses.
constexpr Kind kLogon{1, 1, 1};
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

// The module's membership kinds, answered by the server; refusals answer kFailed with the
// reason, an unknown record or link kNotFound.
constexpr Kind kAttachToNode{5, 1, 10};  // node, record (32-bit each) -> kAttached, link NID
constexpr Kind kDeleteNode{5, 5, 10};    // node NID -> kNodeDeleted or kNodeNotEmpty
constexpr Kind kDeleteUser{5, 5, 1};     // user NID -> kUserDeleted
constexpr Kind kRemoveUser{5, 5, 2};     // link NID of the user's place -> kUserDeleted

// Files and record saves.
constexpr Kind kUploadFileName{65, 7, 2};   // "UUSR", column, user NID, extension
constexpr Kind kStoredFileName{65, 7, 1};   // table, column, record NID
constexpr Kind kRecordSaveLast{68, 4, 1};   // the last (or only) message of a record save
constexpr Kind kRecordSaveEarly{68, 4, 2};  // each earlier message of a record save

// ---- Statuses ----
constexpr std::uint8_t kOk = 1;        // host's own kinds: done
constexpr std::uint8_t kFailed = 2;    // refused; field 1 is the reason
constexpr std::uint8_t kNotFound = 4;  // no such setting, file, privilege, record or link

constexpr std::uint8_t kLogonOk = 31;     // also: password verified
constexpr std::uint8_t kLogonWrong = 32;  // field 1 "pwd_try_left=N" when a limit is set
constexpr std::uint8_t kLogonLocked = 34;
// The password was right but a login list refuses the place; field 1 says which list.
constexpr std::uint8_t kLogonIpRefused = 35;
constexpr std::uint8_t kLogonMachineRefused = 36;
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

constexpr std::uint8_t kAttached = 11;  // field 1: the link NID (32-bit)
constexpr std::uint8_t kNodeDeleted = 11;
constexpr std::uint8_t kNodeNotEmpty = 12;
constexpr std::uint8_t kUserDeleted = 3;           // also: removed from a department or role
constexpr std::uint8_t kPrivilegeMarks = 22;       // field 1: one mark per catalogue entry
constexpr std::uint8_t kPrivilegeGrantors = 21;    // field 1: 4 bytes per mark
constexpr std::uint8_t kPrivilegeMarksTaken = 17;  // send the grantors next
constexpr std::uint8_t kPrivilegesSaved = 16;
constexpr std::uint8_t kFileNameGiven = 64;  // field 1: the server file name
// A record save answers the request code as its status. The reply of the last message
// carries the saved record block, whose 32-bit item NID sits at kRecordItemNidOffset.
constexpr std::size_t kRecordBlockSize = 192;
constexpr std::size_t kRecordItemNidOffset = 133;

// Limits and the channel; each answers a request of any kind.
constexpr std::uint8_t kFieldTooLong = 243;    // a field is longer than its kind allows
constexpr std::uint8_t kServerBusy = 244;      // every connection is taken; field 1 says so
constexpr std::uint8_t kTimeLimit = 245;       // the statement ran past its time limit
constexpr std::uint8_t kFrameTooLarge = 246;   // the frame was read and dropped
constexpr std::uint8_t kSqlTooLong = 247;      // SQL text longer than kMaxSqlText
constexpr std::uint8_t kResultTooLarge = 248;  // result rows larger than kMaxResultPayload
constexpr std::uint8_t kFileTooLarge = 249;    // file content larger than kMaxFileBytes
constexpr std::uint8_t kStaleSeal = 250;       // sealed password not for this connection, or reused
// ---- Record save (kRecordSaveEarly, kRecordSaveLast): the message and the server's answers ----
// Body of the first message: count (4 bytes, u32 = field entries in this message), the
// record block (kRecordBlockSize bytes), the field entries; every later message of the same
// save: count and entries. Offsets below are from the start of the record block.
constexpr std::size_t kRecordLayoutOffset = 0;  // layout name, zero-terminated
constexpr std::size_t kRecordLayoutWidth = 98;
constexpr std::size_t kRecordTableOffset = 98;  // "UUSR", zero-terminated
constexpr std::size_t kRecordTableWidth = 33;
constexpr std::size_t kRecordNidOffset = 131;        // item NID; -1 for a new record
constexpr std::size_t kRecordReservedOffset = 135;   // 0
constexpr std::size_t kRecordModeOffset = 139;       // kRecordModeUpdate or kRecordModeNew
constexpr std::size_t kRecordLinkTableOffset = 143;  // "UUSRBM", zero-terminated
constexpr std::size_t kRecordLinkTableWidth = 33;
constexpr std::size_t kRecordLinkNidOffset = 176;    // link NID; -1 for a new record
constexpr std::size_t kRecordParentOffset = 180;     // parent NID of a new record, else 0
constexpr std::size_t kRecordReserved2Offset = 184;  // 0
constexpr std::size_t kRecordLinkModeOffset = 188;   // kRecordLink*
constexpr std::int32_t kRecordModeUpdate = 1;
constexpr std::int32_t kRecordModeNew = 2;
constexpr std::int32_t kRecordLinkNone = 0;    // an update of a record without a link
constexpr std::int32_t kRecordLinkUpdate = 1;  // an update; the link's fields apply to it
constexpr std::int32_t kRecordLinkNew = 2;
// Field entry: name (zero-padded), flag (1 on "UUSR.CSRC", else 0), value type, value
// length n (16-bit), then n bytes of text without a zero.
constexpr std::size_t kSaveFieldNameWidth = 24;
constexpr std::size_t kSaveFieldHeader = 29;
constexpr std::uint16_t kSaveValueText = 1;
// In the reply of the last message, the block follows its 2-byte length: the link NID the
// server assigned or kept sits here (the item NID at kRecordItemNidOffset).
constexpr std::size_t kRecordLinkNidReplyOffset = 2 + kRecordLinkNidOffset;
// Statuses. A save is kept or applied whole: any refusal drops the chunks kept so far and
// changes nothing; field 1 of a refusal is the reason (text).
constexpr std::uint8_t kRecordSaved = 1;      // field 1: the record block with both NIDs
constexpr std::uint8_t kRecordChunkKept = 2;  // an earlier message, kept until the last
constexpr std::uint8_t kRecordSaveNoRight = 3;
constexpr std::uint8_t kRecordSaveCodeTaken = 4;  // field 2: the holder's NID (32-bit)
constexpr std::uint8_t kRecordSaveRefused = 5;    // a record, link, parent or value not usable
constexpr std::uint8_t kRecordSaveTooLarge = 6;   // more than kRecordSavePendingMax bytes
// Body bytes of all messages of one save that a session may hold.
constexpr std::size_t kRecordSavePendingMax = 1024 * 1024;

constexpr std::uint8_t kBadMessage = 251;      // body fields malformed or wrong in number
constexpr std::uint8_t kNotLoggedOn = 252;     // only logon and hello before a logon
constexpr std::uint8_t kUnknownRequest = 253;  // no handler for class, group, code
constexpr std::uint8_t kServerError = 254;     // the store failed; nothing was changed

// ---- Two-step privilege exchanges ----
// Each first step is answered with a status that asks for its continuation: the first reply's
// header, sent back unchanged. That header names the exchange in bytes the module does not
// read: the node (32-bit) and the session's number of the exchange (32-bit). Refusals answer
// kFailed with the reason as field 1.
constexpr Kind kReadPrivileges{5, 2, 20};  // node NID -> kPrivilegeMarks with the marks
constexpr Kind kReadPrivilegesNext{5, 2, kPrivilegeMarks};  // empty -> kPrivilegeGrantors
constexpr Kind kSavePrivileges{5, 1, 15};  // node NID, marks with zero -> kPrivilegeMarksTaken
constexpr Kind kSavePrivilegesNext{5, 1, kPrivilegeMarksTaken};  // grantors -> kPrivilegesSaved
constexpr std::size_t kExchangeNodeByte = 7;
constexpr std::size_t kExchangeNumberByte = 11;
// Positions 1 to 511 carry marks: the module builds a string in a buffer of 512.
constexpr std::size_t kMaxPrivilegeMarks = 511;

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
