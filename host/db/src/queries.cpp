// SQL statements, the logged-in user, privileges, settings, server time and the audit log.
#include <cstdio>
#include <cstring>

#include "connection.h"
#include "hrzcommon/text.h"
#include "value_lists.h"

namespace hrzdb {
namespace {

constexpr std::size_t kCodeBuffer = 128;
constexpr std::size_t kKindBuffer = 17;
constexpr std::size_t kNameBuffer = 256;
constexpr std::size_t kFieldValueBuffer = 256;

// The code, kind and name of a "UUSR" record; false when there is none.
bool ReadRecord(tagXCliDB* db, int nid, std::string* code, std::string* kind, std::string* name) {
  char sql[96];
  std::snprintf(sql, sizeof sql, "select CCODE, CSRC, CNAME from UUSR where NID = %d", nid);
  XCliGenRS rs(db);
  if (!rs.Open(1, sql) || rs.IsEOF()) return false;
  char text[1024];
  for (auto [column, out] : {std::pair{0, code}, std::pair{1, kind}, std::pair{2, name}}) {
    if (!rs.GetFieldValue(column, XCLI_TYPE_TEXT, text, sizeof text)) return false;
    *out = text;
  }
  return true;
}

bool ReadTimeFields(tagXCliDB* db, std::int32_t (&fields)[6]) {
  Reply reply;
  if (!Call(db, protocol::kServerTime, wire::BodyWriter().Finish(), &reply) ||
      reply.status() != protocol::kOk) {
    return false;
  }
  wire::BodyReader in = reply.Fields();
  for (std::int32_t& value : fields) {
    if (!in.NextInt32(&value)) return false;
  }
  return true;
}

}  // namespace
}  // namespace hrzdb

using namespace hrzdb;

int XCliDB_ExecuteSQL(tagXCliDB* db, const char* sql, int, int) {
  if (sql == nullptr) return 0;
  wire::BodyWriter body;
  body.PutLong(sql);
  Reply reply;
  return Call(db, protocol::kExecute, body.Finish(), &reply) && reply.status() == protocol::kOk ? 1
                                                                                                : 0;
}

const char* xclisql_upper(tagXCliDB*, const char*) {
  return "upper";
}

int XCliDB_GetUNO(tagXCliDB* db, char* buffer) {
  if (db == nullptr || buffer == nullptr) return 0;
  std::lock_guard lock(db->channel);
  hrz::CopyBounded(buffer, kCodeBuffer, db->userCode);
  return db->userNid > 0 ? 1 : 0;
}

int XCliGetCurrentUserNID(tagXCliDB* db) {
  if (db == nullptr) return -1;
  std::lock_guard lock(db->channel);
  return db->userNid;
}

int XCliGetUserNID(tagXCliDB* db, const char* userCode) {
  if (userCode == nullptr) return 0;
  wire::BodyWriter body;
  if (!body.PutText(userCode)) return 0;
  Reply reply;
  if (!Call(db, protocol::kFindCode, body.Finish(), &reply) ||
      reply.status() != protocol::kCodeHeld) {
    return 0;
  }
  std::int32_t nid = 0;
  wire::BodyReader in = reply.Fields();
  return in.NextInt32(&nid) ? nid : 0;
}

int XCliGetUNOByNID(tagXCliDB* db, int nid, char* code) {
  std::string c, kind, name;
  if (code == nullptr || !ReadRecord(db, nid, &c, &kind, &name)) return 0;
  hrz::CopyBounded(code, kCodeBuffer, c);
  return 1;
}

int XCliNIDToCode(tagXCliDB* db, const char* table, int nid, char* code, char* kind, char* name,
                  int) {
  std::string c, k, n;
  if (table == nullptr || !hrz::EqualsNoCase(table, "UUSR") || !ReadRecord(db, nid, &c, &k, &n)) {
    return 0;
  }
  if (code) hrz::CopyBounded(code, kCodeBuffer, c);
  if (kind) hrz::CopyBounded(kind, kKindBuffer, k);
  if (name) hrz::CopyBounded(name, kNameBuffer, n);
  return 1;
}

int XCliGetFuncPvg(tagXCliDB* db, int nid, const char* pvgCode, int* view, int* modify) {
  if (pvgCode == nullptr) return 0;
  wire::BodyWriter body;
  body.PutInt32(nid);
  if (!body.PutText(pvgCode)) return 0;
  Reply reply;
  if (!Call(db, protocol::kFuncPvg, body.Finish(), &reply) || reply.status() != protocol::kOk) {
    return 0;
  }
  std::int32_t v = 0, m = 0;
  wire::BodyReader in = reply.Fields();
  if (!in.NextInt32(&v) || !in.NextInt32(&m)) return 0;
  if (view) *view = v != 0;
  if (modify) *modify = m != 0;
  return 1;
}

int XCliGetINI(tagXCliDB* db, const char* section, const char* key, char* buffer, int capacity,
               int) {
  if (section == nullptr || key == nullptr || buffer == nullptr || capacity < 1) return 0;
  wire::BodyWriter body;
  if (!body.PutText(section) || !body.PutText(key)) return 0;
  Reply reply;
  std::string value;
  if (!Call(db, protocol::kGetSetting, body.Finish(), &reply) || reply.status() != protocol::kOk) {
    return 0;
  }
  wire::BodyReader in = reply.Fields();
  if (!in.NextLong(&value, protocol::kMaxFrameSize)) return 0;
  hrz::CopyBounded(buffer, capacity, value);
  return 1;
}

int XCliGetFldOrgVal(tagXCliDB*, const char* field, const char* shown, int mode, char* buffer,
                     int) {
  std::string stored;
  if (field == nullptr || shown == nullptr || buffer == nullptr || mode != 1 ||
      !hrzcfg::StoredValueOf(field, shown, &stored)) {
    return 0;
  }
  hrz::CopyBounded(buffer, kFieldValueBuffer, stored);
  return 1;
}

int XCliDB_GetServerTime(tagXCliDB* db, int* year, int* month, int* day, int* hour, int* minute,
                         int* second) {
  std::int32_t f[6];
  if (!ReadTimeFields(db, f)) return 0;
  int* outs[] = {year, month, day, hour, minute, second};
  for (int i = 0; i < 6; ++i) {
    if (outs[i]) *outs[i] = f[i];
  }
  return 1;
}

double XCliDB_GetServerTimeDouble(tagXCliDB* db) {
  std::int32_t f[6];
  if (!ReadTimeFields(db, f)) return 0;
  return f[0] * 10000.0 + f[1] * 100.0 + f[2] + (f[3] * 10000.0 + f[4] * 100.0 + f[5]) / 1000000.0;
}

std::int32_t XCliDB_GetClientVersion(tagXCliDB* db, int) {
  if (db == nullptr) return 0;
  std::lock_guard lock(db->channel);
  return db->clientVersion;
}

int XCliPutLog(tagXCliDB* db, int, int, int, const char* action, const char* table, int nid,
               const char* value, const char* text) {
  wire::BodyWriter body;
  body.PutText(action ? action : "");
  body.PutText(table ? table : "");
  body.PutInt32(nid);
  if (!body.PutText(value ? value : "") || !body.PutText(text ? text : "")) return 0;
  Reply reply;
  return Call(db, protocol::kPutLog, body.Finish(), &reply) && reply.status() == protocol::kOk ? 1
                                                                                               : 0;
}
