#include "save_rules.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "hrzcommon/text.h"
#include "store.h"

namespace hrzsrv {
namespace {

// The fields the record pane sends: its layouts' bound fields and the system fields of a
// save. The login counters, signature names and client version are the server's own.
constexpr SaveColumn kSaveColumns[] = {
    {"UUSR", "CCODE", SaveValue::kCode, SaveRight::kAdministrator},
    {"UUSR", "CNAME", SaveValue::kText, SaveRight::kEditor},
    {"UUSR", "CSRC", SaveValue::kKind, SaveRight::kOnCreation},
    {"UUSR", "NSTAT", SaveValue::kWholeNumber, SaveRight::kOthersOnly},
    {"UUSR", "NCRTOR", SaveValue::kCreator, SaveRight::kOnCreation},
    {"UUSR", "DCRTE", SaveValue::kDateNumber, SaveRight::kOnCreation},
    {"UUSR", "DMODI", SaveValue::kDateNumber, SaveRight::kEditor},
    // The rule editor's button: managers for others, the administrator for anyone.
    {"UUSR", "CPWDRULE", SaveValue::kText, SaveRight::kManaged},
    {"UUSR", "NPWDDAYS", SaveValue::kWholeNumber, SaveRight::kManaged},
    {"UUSR", "DMODIPWD", SaveValue::kWholeNumber, SaveRight::kManaged},
    // Login lists: never one's own, so the administrator's are nobody's to change.
    {"UUSR", "CLGNIP", SaveValue::kText, SaveRight::kOthersOnly},
    {"UUSR", "CLGNMAC", SaveValue::kText, SaveRight::kOthersOnly},
    {"UUSRBM", "CVWA", SaveValue::kViewFlag, SaveRight::kManaged},
};

constexpr std::string_view kRecordKinds[] = {"UUSRI", "KQUSR", "UUSRO", "UDEPT", "UROLE"};
constexpr std::string_view kViewFlag = "T";
// The module reads codes into 128-byte buffers.
constexpr std::size_t kMaxCode = 127;

Cell TextCell(std::string_view text) {
  Cell cell;
  if (!text.empty()) {
    cell.type = SQLITE_TEXT;
    cell.bytes = std::string(text);
  }
  return cell;
}

std::optional<double> ParseDateNumber(std::string_view text) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value < 0) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

const SaveColumn* FindSaveColumn(std::string_view table, std::string_view column) {
  for (const SaveColumn& known : kSaveColumns) {
    if (hrz::EqualsNoCase(known.table, table) && hrz::EqualsNoCase(known.column, column)) {
      return &known;
    }
  }
  return nullptr;
}

std::span<const SaveColumn> SaveColumns() {
  return kSaveColumns;
}

std::string ConvertSaveValue(const SaveColumn& column, std::string_view text, Cell* out) {
  const std::string name = std::string(column.table) + "." + std::string(column.column);
  *out = Cell{};
  switch (column.value) {
    case SaveValue::kText:
      *out = TextCell(text);
      return {};
    case SaveValue::kCode:
    case SaveValue::kCreator: {
      const std::string_view code = hrz::TrimBlanks(text);
      if (code.empty()) return name + " is empty";
      if (code.size() > kMaxCode) return name + " is longer than 127 bytes";
      *out = TextCell(code);
      return {};
    }
    case SaveValue::kKind:
      for (std::string_view kind : kRecordKinds) {
        if (hrz::EqualsNoCase(kind, text)) {
          *out = TextCell(kind);
          return {};
        }
      }
      return name + " '" + std::string(text) + "' is not a record kind";
    case SaveValue::kWholeNumber: {
      if (text.empty()) return {};
      long long value = 0;
      if (!hrz::ParseWholeNumber(text, &value) ||
          value < std::numeric_limits<std::int32_t>::min() ||
          value > std::numeric_limits<std::int32_t>::max()) {
        return name + " '" + std::string(text) + "' is not a 32-bit whole number";
      }
      out->type = SQLITE_INTEGER;
      out->integer = value;
      return {};
    }
    case SaveValue::kDateNumber: {
      if (text.empty()) return {};
      const std::optional<double> value = ParseDateNumber(text);
      if (!value) return name + " '" + std::string(text) + "' is not a date number";
      char shortest[64];
      const auto written = std::to_chars(shortest, shortest + sizeof shortest, *value);
      out->type = SQLITE_FLOAT;
      out->bytes.assign(shortest, written.ptr);
      return {};
    }
    case SaveValue::kViewFlag:
      if (!hrz::EqualsNoCase(text, kViewFlag)) return name + " is 'T' on every link";
      *out = TextCell(kViewFlag);
      return {};
  }
  return name + " cannot be stored";
}

bool SameSavedValue(const Cell& stored, const Cell& saved) {
  if (stored.type == SQLITE_FLOAT && saved.type == SQLITE_FLOAT) {
    return ParseDateNumber(stored.bytes) == ParseDateNumber(saved.bytes);
  }
  return stored == saved;
}

std::string RefuseRecordCreation(const Rights& rights) {
  if (rights.admin || rights.manager) return {};
  return "only a manager of users creates records";
}

std::string RefuseColumnChange(const Rights& rights, const SaveColumn& column, int recordNid) {
  const bool own = recordNid == rights.userNid;
  // A manager is an ordinary user where the administrator's record is concerned.
  const bool manager = rights.manager && recordNid != kAdminNid;
  bool allowed = false;
  switch (column.right) {
    case SaveRight::kEditor:
      allowed = own || manager || rights.admin;
      break;
    case SaveRight::kOthersOnly:
      allowed = !own && (manager || rights.admin);
      break;
    case SaveRight::kManaged:
      allowed = (manager && !own) || rights.admin;
      break;
    case SaveRight::kAdministrator:
      allowed = rights.admin;
      break;
    case SaveRight::kOnCreation:
      return std::string(column.table) + "." + std::string(column.column) +
             " is written only when the record is created";
  }
  if (allowed) return {};
  return "no right to change " + std::string(column.table) + "." + std::string(column.column) +
         " of the record with NID " + std::to_string(recordNid);
}

}  // namespace hrzsrv
