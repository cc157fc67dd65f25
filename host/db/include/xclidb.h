// The host's database client: connections, SQL record sets, the logged-in user,
// privileges, settings, server time, request messages and file transfer.
//
// A connection opens from a location: a file path runs the server engine inside this
// process on that SQLite file; "tcp://host:port" reaches a running hrzserver over TLS;
// "tcp+plain://host:port" reaches one that serves plain TCP on loopback (tests and
// measurements). All carry the same framed request messages. Functions return non-zero for success
// and 0 for failure unless stated otherwise; nothing throws.
#pragma once

#include <cstdint>

#include "hrzcommon/protocol.h"

struct tagXCliDB;  // opaque connection

// ---- Connection (used by the desktop client and tests, not by the module) ----

// Opens a connection. On failure returns null and writes a reason into error. A TLS server
// must be trusted first (see XCliDB_CheckServer).
tagXCliDB* XCliDB_Open(const char* location, char* error, int errorCapacity);
// Logs on. The password is sealed to the server's key before it leaves the process;
// clientVersion is the client's version number (major * 10000 + minor * 100 + patch).
// status receives the server's status (31 logged on, 32 wrong password with replyText
// "pwd_try_left=N", 34 locked, 0 when nothing was received); replyText may be null.
int XCliDB_Logon(tagXCliDB* db, const char* userCode, const char* password,
                 std::int32_t clientVersion, int* status, char* replyText, int replyCapacity);
void XCliDB_Logoff(tagXCliDB* db);
void XCliDB_Close(tagXCliDB* db);
// Creates a new store file at path with the administrator "adm" and adminPassword; with
// withSample non-zero it also holds the sample organisation (as "hrzserver demo" adds it).
// Fails when the file exists.
int XCliDB_CreateStore(const char* path, const char* adminPassword, int withSample, char* error,
                       int errorCapacity);

// ---- Server certificates ----
//
// A TLS server is trusted through "ca.pem" in the user's configuration folder
// (${XDG_CONFIG_HOME:-~/.config}/hrzuser) when that file exists: every server's chain and
// host name must then verify against it. Otherwise through the certificate fingerprint
// pinned for its host:port in "known_servers" there, on the user's word at first contact;
// a server whose certificate differs from its pin is refused.

constexpr int XCLI_FINGERPRINT_SIZE = 96;  // SHA-256 as "AB:CD:...", with its zero
constexpr int XCLI_SERVER_LOCAL = 1;       // a store file or plain loopback TCP
constexpr int XCLI_SERVER_TRUSTED = 2;     // pinned, or verified by the CA file
constexpr int XCLI_SERVER_NEW = 3;         // first contact: nothing pinned for it yet
constexpr int XCLI_SERVER_CHANGED = 4;     // its certificate is not the pinned one

// Reaches location and says how its certificate stands, one of XCLI_SERVER_*; 0 (reason in
// error) when it cannot be reached or the CA file does not verify it. fingerprint receives
// the offered certificate's and pinned the pinned one (XCLI_FINGERPRINT_SIZE bytes each;
// either may be null).
int XCliDB_CheckServer(const char* location, char* fingerprint, char* pinned, char* error,
                       int errorCapacity);
// Pins fingerprint for a tcp:// location once the user accepted it. Never replaces a pin.
int XCliDB_PinServer(const char* location, const char* fingerprint, char* error, int errorCapacity);

// ---- Record sets ----

// A record set lives in caller storage: construct, open, read, close, destruct.
struct tagXCliRS {
  tagXCliDB* db = nullptr;
  void* impl = nullptr;  // owned rows and cursor
};

constexpr int XCLI_TYPE_TEXT = 1;   // text, zero-terminated, cut to capacity - 1
constexpr int XCLI_TYPE_INT32 = 5;  // signed 32-bit integer, capacity 4

void XCliRS_Constructor(tagXCliRS* rs, tagXCliDB* db);
void XCliRS_Destructor(tagXCliRS* rs);
// mode is 1 (read); returns non-zero when the query ran.
int XCliRS_Open(tagXCliRS* rs, int mode, const char* sql, int reserved1, int reserved2);
int XCliRS_IsEOF(tagXCliRS* rs);
int XCliRS_IsBOF(tagXCliRS* rs);
int XCliRS_MoveNext(tagXCliRS* rs);
int XCliRS_GetFieldCount(tagXCliRS* rs);
// Name of column col into buffer; non-zero when the column exists.
int XCliRS_GetFieldName(tagXCliRS* rs, int col, char* buffer, int capacity);
// Reads column col (from 0) of the current row. NULL reads as an empty text (or 0) with
// success. Returns 0 when there is no current row, no such column or the capacity is too
// small for the type.
int XCliRS_GetFieldValue(tagXCliRS* rs, int col, int type, void* buffer, int capacity);
void XCliRS_Close(tagXCliRS* rs);

// The same record set as a class.
class XCliGenRS {
 public:
  explicit XCliGenRS(tagXCliDB* db) { XCliRS_Constructor(&rs_, db); }
  ~XCliGenRS() { XCliRS_Destructor(&rs_); }
  XCliGenRS(const XCliGenRS&) = delete;
  XCliGenRS& operator=(const XCliGenRS&) = delete;

  int Open(int mode, const char* sql, int r1 = 0, int r2 = 0) {
    return XCliRS_Open(&rs_, mode, sql, r1, r2);
  }
  int IsEOF() { return XCliRS_IsEOF(&rs_); }
  int IsBOF() { return XCliRS_IsBOF(&rs_); }
  int MoveNext() { return XCliRS_MoveNext(&rs_); }
  int GetFieldCount() { return XCliRS_GetFieldCount(&rs_); }
  int GetFieldName(int col, char* buffer, int capacity) {
    return XCliRS_GetFieldName(&rs_, col, buffer, capacity);
  }
  int GetFieldValue(int col, int type, void* buffer, int capacity) {
    return XCliRS_GetFieldValue(&rs_, col, type, buffer, capacity);
  }
  void Close() { XCliRS_Close(&rs_); }

 private:
  tagXCliRS rs_;
};

// ---- SQL, user, privileges, settings ----

int XCliDB_ExecuteSQL(tagXCliDB* db, const char* sql, int reserved1, int reserved2);
// Name of the SQL function that upper-cases text in the named database.
const char* xclisql_upper(tagXCliDB* db, const char* dbName);

// Code of the logged-in user into buffer (at least 128 bytes).
int XCliDB_GetUNO(tagXCliDB* db, char* buffer);
// NID of the logged-in user; -1 when nobody is logged on.
int XCliGetCurrentUserNID(tagXCliDB* db);
// NID of the user with that code; 0 or less when none.
int XCliGetUserNID(tagXCliDB* db, const char* userCode);
// Code of the record with that NID into code (128 bytes).
int XCliGetUNOByNID(tagXCliDB* db, int nid, char* code);
// Code, kind ("CSRC", 17 bytes) and name (256 bytes) of a record; each out may be null.
int XCliNIDToCode(tagXCliDB* db, const char* table, int nid, char* code, char* kind, char* name,
                  int reserved);
// The logged-in user's flags for a function privilege (nid -1): view and modify, each
// 0 or 1, taken from the user's own grants and those of every department and role above.
int XCliGetFuncPvg(tagXCliDB* db, int nid, const char* pvgCode, int* view, int* modify);
// A server-kept setting such as ("system", "Lgn Err Try").
int XCliGetINI(tagXCliDB* db, const char* section, const char* key, char* buffer, int capacity,
               int reserved);
// Stored value (256 bytes) behind a shown text of a field's value list, e.g. "UUSR.NSTAT".
int XCliGetFldOrgVal(tagXCliDB* db, const char* field, const char* shown, int mode, char* buffer,
                     int reserved);
int XCliDB_GetServerTime(tagXCliDB* db, int* year, int* month, int* day, int* hour, int* minute,
                         int* second);
// Server time as a date number yyyymmdd.hhmmss; 0 on failure.
double XCliDB_GetServerTimeDouble(tagXCliDB* db);
// The version number the connection logged on with; 0 before a logon.
std::int32_t XCliDB_GetClientVersion(tagXCliDB* db, int reserved);
int XCliPutLog(tagXCliDB* db, int r1, int r2, int r3, const char* action, const char* table,
               int nid, const char* value, const char* text);

// ---- Request messages ----

constexpr int XCLI_HEADER_SIZE = static_cast<int>(hrz::protocol::kHeaderSize);
constexpr int XCLI_SEND_FAILED = 0x7fffffff;

struct XCliSendLock;  // handle returned by XCliDB_LockSendAndWait

// One lock per connection serialises exchanges; hold it only around the sends. The thread
// that takes it releases it. It is re-entrant: the other XCli* calls work while it is held.
XCliSendLock* XCliDB_LockSendAndWait(tagXCliDB* db);
void XCliDB_ReleaseSendAndWait(tagXCliDB* db, XCliSendLock* lock);
// Sends header (35 bytes) and body, waits for the reply. The reply header is written
// into replyHeader (which may be the request header) and the reply body into replyBuffer.
// Returns the number of reply body bytes, or XCLI_SEND_FAILED: also for a lock that is not
// this connection's, a reply larger than replyCapacity (the reply is read and dropped, so the
// connection stays in step), and after timeoutMs (0: no limit), which closes the connection.
int XCliDB_SendAndWait2(tagXCliDB* db, XCliSendLock* lock, unsigned char* header,
                        const unsigned char* body, int bodyLength, unsigned char* replyHeader,
                        unsigned char* replyBuffer, int replyCapacity, int timeoutMs);
// As XCliDB_SendAndWait2, with the request header built from class, group and code.
int XCliDB_SendAndWait1(tagXCliDB* db, XCliSendLock* lock, int msgClass, int group, int code,
                        const unsigned char* body, int bodyLength, unsigned char* replyHeader,
                        unsigned char* replyBuffer, int replyCapacity, int timeoutMs);
// Sends a message without waiting for a reply (under a lock the caller holds).
int XCliDB_Send2(tagXCliDB* db, unsigned char* header, const unsigned char* body, int bodyLength);

// The longest plain password, in bytes of its UTF-8 text, that fits the sealed form.
constexpr int XCLI_PASSWORD_MAX_BYTES = 127;
// Seals a password for the most recently opened connection that is still open: to its
// server's key, bound to that connection and usable once. out (256 bytes) receives base64
// text. Fails for a password longer than XCLI_PASSWORD_MAX_BYTES or when no connection is open.
int XCliEncryptPassword(const char* plain, char* out);

// ---- Files ----

// The server's base folder for client files into out (260 bytes).
int XCliDB_GetServerPath(tagXCliDB* db, char* out);
int XCliDB_GetFile(tagXCliDB* db, int reserved, const char* serverName, const char* localPath,
                   int r1, int r2, int r3, int r4, int r5, int r6);
int XCliDB_PutFile(tagXCliDB* db, int reserved, const char* localPath, const char* serverName,
                   int r1, int r2, int r3, int r4, int r5, int r6);
