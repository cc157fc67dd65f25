// Record sets: the whole result arrives in one reply and is read row by row here.
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "connection.h"
#include "hrzcommon/result_set.h"
#include "hrzcommon/text.h"

namespace hrzdb {
namespace {

constexpr std::size_t kMaxSql = 1024 * 1024;

struct RecordSet {
  wire::ResultSet result;
  std::size_t current = 0;
  bool HasRow() const { return current < result.RowCount(); }
};

RecordSet* SetOf(tagXCliRS* rs) {
  return rs ? static_cast<RecordSet*>(rs->impl) : nullptr;
}

bool InInt32(double number) {
  return number >= std::numeric_limits<std::int32_t>::min() &&
         number <= std::numeric_limits<std::int32_t>::max();
}

bool ToInt32(const wire::ResultSet& result, const wire::ResultCell& cell, std::int32_t* value) {
  if (cell.type == protocol::kCellNull) {
    *value = 0;
    return true;
  }
  if (cell.type == protocol::kCellBlob) return false;
  const std::string_view shown = result.Text(cell);
  // An integer cell holds plain digits: read them in place.
  if (cell.type == protocol::kCellInteger) {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(shown.data(), shown.data() + shown.size(), number);
    if (error == std::errc() && end == shown.data() + shown.size()) {
      if (!InInt32(static_cast<double>(number))) return false;
      *value = static_cast<std::int32_t>(number);
      return true;
    }
  }
  const std::string copy(shown);  // the C parsers need the terminating zero
  const char* text = copy.c_str();
  char* end = nullptr;
  errno = 0;
  double number = cell.type == protocol::kCellReal
                      ? std::strtod(text, &end)
                      : static_cast<double>(std::strtoll(text, &end, 10));
  if (end == text || end == nullptr || !hrz::TrimBlanks(end).empty() || errno == ERANGE ||
      !InInt32(number)) {
    return false;
  }
  *value = static_cast<std::int32_t>(number);
  return true;
}

bool RunQuery(tagXCliDB* db, std::string_view sql, RecordSet* set) {
  if (sql.size() > kMaxSql) return false;
  wire::BodyWriter body;
  body.PutLong(sql);
  Reply reply;
  if (!Call(db, protocol::kQuery, body.Finish(), &reply)) return false;
  wire::BodyReader fields = reply.Fields();
  std::string payload;
  return reply.status() == protocol::kOk && fields.NextLong(&payload, protocol::kMaxFrameSize) &&
         wire::DecodeResultSet(std::move(payload), &set->result);
}

}  // namespace

}  // namespace hrzdb

using namespace hrzdb;

void XCliRS_Constructor(tagXCliRS* rs, tagXCliDB* db) {
  if (rs == nullptr) return;
  rs->db = db;
  rs->impl = nullptr;
}

void XCliRS_Destructor(tagXCliRS* rs) {
  XCliRS_Close(rs);
}

int XCliRS_Open(tagXCliRS* rs, int, const char* sql, int, int) {
  if (rs == nullptr || sql == nullptr) return 0;
  XCliRS_Close(rs);
  auto set = std::make_unique<RecordSet>();
  if (!RunQuery(rs->db, sql, set.get())) return 0;
  rs->impl = set.release();
  return 1;
}

int XCliRS_IsEOF(tagXCliRS* rs) {
  RecordSet* set = SetOf(rs);
  return set == nullptr || !set->HasRow() ? 1 : 0;
}

int XCliRS_IsBOF(tagXCliRS* rs) {
  return XCliRS_IsEOF(rs);
}

int XCliRS_MoveNext(tagXCliRS* rs) {
  RecordSet* set = SetOf(rs);
  if (set == nullptr || !set->HasRow()) return 0;
  ++set->current;
  return 1;
}

int XCliRS_GetFieldCount(tagXCliRS* rs) {
  RecordSet* set = SetOf(rs);
  return set != nullptr ? static_cast<int>(set->result.names.size()) : 0;
}

int XCliRS_GetFieldName(tagXCliRS* rs, int col, char* buffer, int capacity) {
  RecordSet* set = SetOf(rs);
  if (set == nullptr || col < 0 || col >= static_cast<int>(set->result.names.size()) ||
      capacity < 1) {
    return 0;
  }
  hrz::CopyBounded(buffer, capacity, set->result.names[col]);
  return 1;
}

int XCliRS_GetFieldValue(tagXCliRS* rs, int col, int type, void* buffer, int capacity) {
  RecordSet* set = SetOf(rs);
  if (set == nullptr || !set->HasRow() || buffer == nullptr || col < 0 ||
      col >= static_cast<int>(set->result.names.size())) {
    return 0;
  }
  const wire::ResultCell& cell = set->result.Cell(set->current, static_cast<std::size_t>(col));
  if (type == XCLI_TYPE_TEXT) {
    if (capacity < 1) return 0;
    hrz::CopyBounded(static_cast<char*>(buffer), capacity, set->result.Text(cell));
    return 1;
  }
  if (type == XCLI_TYPE_INT32) {
    std::int32_t value = 0;
    if (capacity < 4 || !ToInt32(set->result, cell, &value)) return 0;
    std::memcpy(buffer, &value, sizeof value);
    return 1;
  }
  return 0;
}

void XCliRS_Close(tagXCliRS* rs) {
  if (rs == nullptr) return;
  delete SetOf(rs);
  rs->impl = nullptr;
}
