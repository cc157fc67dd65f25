#include "pg_client_sql.h"

#include <libpq-fe.h>
#include <sodium.h>

#include <cstdlib>

#include "hrzcommon/text.h"
#include "hrzserver/pg_store.h"
#include "pg_client_filter.h"
#include "pg_client_rules.h"

namespace hrzsrv {
namespace {

using Status = PgClientOutcome::Status;

// PostgreSQL's type numbers of the result columns the wire carries as numbers or bytes.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;
constexpr const char* kQueryCanceled = "57014";
constexpr const char* kNoPrivilege = "42501";
// The organisation's rules, raised by the trigger on "UUSRBM", the one table they guard.
constexpr const char* kOrganisationRule = "HZ001";
constexpr const char* kOrganisationRuleTable = "UUSRBM";
// The constraint name the rights triggers raise their refusals with.
constexpr const char* kRightsRefusal = "client rights";

std::string Private(std::string_view table) {
  return std::string(kPgPrivateSchema) + "." + std::string(table);
}

std::string TrimmedError(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string ErrorField(const PGresult* result, int field) {
  const char* value = PQresultErrorField(result, field);
  return value != nullptr ? value : "";
}

hrz::protocol::CellType CellTypeOf(Oid type) {
  switch (type) {
    case kBool:
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
      return hrz::protocol::kCellInteger;
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return hrz::protocol::kCellReal;
    case kBytea:
      return hrz::protocol::kCellBlob;
    default:
      return hrz::protocol::kCellText;
  }
}

// SQLite writes a whole real with its ".0" ("2.0", "1.0e+20"), PostgreSQL without ("2",
// "1e+20"); NaN and Infinity stay as they are.
std::string RealText(std::string_view text) {
  std::string written(text);
  if (written.find_first_of(".nN") != std::string::npos) return written;
  const std::size_t exponent = written.find_first_of("eE");
  written.insert(exponent == std::string::npos ? written.size() : exponent, ".0");
  return written;
}

void AppendRow(const PGresult* row, hrz::wire::ResultSetWriter* result) {
  for (int c = 0; c < PQnfields(row); ++c) {
    if (PQgetisnull(row, 0, c)) {
      result->AddCell(hrz::protocol::kCellNull, {});
      continue;
    }
    const Oid type = PQftype(row, c);
    const std::string_view text(PQgetvalue(row, 0, c),
                                static_cast<std::size_t>(PQgetlength(row, 0, c)));
    if (type == kBool) {  // SQLite has no truth values: 1 and 0
      result->AddCell(hrz::protocol::kCellInteger, text == "t" ? "1" : "0");
    } else if (type == kBytea) {
      std::size_t size = 0;
      unsigned char* bytes =
          PQunescapeBytea(reinterpret_cast<const unsigned char*>(text.data()), &size);
      result->AddCell(hrz::protocol::kCellBlob,
                      std::string_view(reinterpret_cast<const char*>(bytes), bytes ? size : 0));
      PQfreemem(bytes);
    } else if (type == kFloat4 || type == kFloat8) {
      result->AddCell(hrz::protocol::kCellReal, RealText(text));
    } else {
      result->AddCell(CellTypeOf(type), text);
    }
  }
  result->EndRow();
}

// A cell of a row kept as jsonb, typed as the SQLite store would hold it.
Cell CellOfJson(const std::string& type, const std::string& text) {
  Cell cell;
  if (type == "string") {
    cell.type = SQLITE_TEXT;
    cell.bytes = text;
  } else if (type == "number" && text.find_first_of(".eE") == std::string::npos) {
    cell.type = SQLITE_INTEGER;
    cell.integer = std::strtoll(text.c_str(), nullptr, 10);
  } else if (type == "number") {
    cell.type = SQLITE_FLOAT;
    cell.bytes = text;
  } else if (type != "null") {
    cell.type = SQLITE_TEXT;
    cell.bytes = text;
  }
  return cell;
}

// The rows of the statement that moved rights, taken from the notes table with the session's
// rights row, as the notes the SQLite hook gathers.
bool TakeNotes(pg::Connection& owner, int pid, std::vector<RightsNote>* notes) {
  const pg::Result rows = owner.Exec(
      "WITH gone AS (DELETE FROM " + Private(kPgClientSessionTable) +
          " WHERE NPID = $1), taken AS (DELETE FROM " + Private(kPgClientNoteTable) +
          " WHERE NPID = $1 RETURNING NID, CTABLE, CKIND, JBEFORE, JAFTER) "
          "SELECT t.NID, t.CTABLE, t.CKIND, s.side, upper(e.key), jsonb_typeof(e.value), "
          "e.value #>> '{}' FROM taken t CROSS JOIN LATERAL (VALUES ('b', t.JBEFORE), "
          "('a', t.JAFTER)) s(side, doc) CROSS JOIN LATERAL jsonb_each(s.doc) e "
          "ORDER BY t.NID, s.side DESC, e.key",
      {pg::Param::Int(pid)});
  if (!rows.ok()) return false;
  for (int r = 0; r < rows.Rows();) {
    const std::int64_t nid = *rows.Int(r, 0);
    const std::string table = rows.Text(r, 1), kind = rows.Text(r, 2);
    std::vector<std::string> columns;
    std::vector<Cell> before, after;
    for (; r < rows.Rows() && *rows.Int(r, 0) == nid; ++r) {
      const bool isBefore = rows.Text(r, 3) == "b";
      const std::string column = rows.Text(r, 4);
      const Cell cell = CellOfJson(rows.Text(r, 5), rows.Text(r, 6));
      if (isBefore || kind == "INSERT") columns.push_back(column);
      (isBefore ? before : after).push_back(cell);
    }
    RowChange change;
    change.kind = kind == "INSERT"   ? WriteKind::kInsert
                  : kind == "DELETE" ? WriteKind::kDelete
                                     : WriteKind::kUpdate;
    change.table = table;
    change.columns = &columns;
    change.before = std::move(before);
    change.after = std::move(after);
    std::vector<RightsNote> made = RightsNotesOf(change);
    notes->insert(notes->end(), made.begin(), made.end());
  }
  return true;
}

// Rows a write changed; a query changes none, as SQLite counts only writes.
std::int64_t ChangedRows(const PGresult* result) {
  const std::string_view tag = PQcmdStatus(const_cast<PGresult*>(result));
  if (!tag.starts_with("INSERT") && !tag.starts_with("UPDATE") && !tag.starts_with("DELETE") &&
      !tag.starts_with("MERGE")) {
    return 0;
  }
  return std::strtoll(PQcmdTuples(const_cast<PGresult*>(result)), nullptr, 10);
}

PgClientOutcome Failed(std::string error, Status status = Status::kFailed) {
  PgClientOutcome outcome;
  outcome.status = status;
  outcome.error = std::move(error);
  return outcome;
}

// The outcome of a statement that failed on the server.
PgClientOutcome FailureOf(const PGresult* result, bool gone, bool tooLarge) {
  const std::string state = ErrorField(result, PG_DIAG_SQLSTATE);
  if (state == kQueryCanceled) {
    if (tooLarge) return Failed("result too large", Status::kTooLarge);
    return Failed("the statement was stopped", gone ? Status::kStopped : Status::kTimedOut);
  }
  const std::string message = ErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
  PgClientOutcome outcome = Failed(message.empty() ? "the statement failed" : message);
  if (state == kNoPrivilege && ErrorField(result, PG_DIAG_CONSTRAINT_NAME) == kRightsRefusal) {
    const std::string target = ErrorField(result, PG_DIAG_MESSAGE_DETAIL);
    outcome.refusal = PgClientOutcome::Refusal{
        ErrorField(result, PG_DIAG_TABLE_NAME),
        target.empty() ? -1 : std::strtoll(target.c_str(), nullptr, 10), message};
    outcome.error = "refused: " + message;
  } else if (state == kOrganisationRule) {
    outcome.refusal = PgClientOutcome::Refusal{kOrganisationRuleTable, -1, message};
    outcome.error = "refused: " + message;
  }
  return outcome;
}

// Libpq's parameters for the client connection: those of location, but for the user and
// password, which are the client role's, and the session's settings.
bool ClientParameters(const std::string& location, const std::string& role,
                      const std::string& password, std::chrono::milliseconds limit,
                      std::vector<std::pair<std::string, std::string>>* out, std::string* error) {
  char* parseError = nullptr;
  PQconninfoOption* options = PQconninfoParse(location.c_str(), &parseError);
  if (options == nullptr) {
    *error = "cannot read the store's location: " + TrimmedError(parseError);
    PQfreemem(parseError);
    return false;
  }
  std::string settings;
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    const std::string keyword = option->keyword;
    if (option->val == nullptr || keyword == "user" || keyword == "password" ||
        keyword == "passfile" || keyword == "client_encoding") {
      continue;
    }
    if (keyword == "options") {
      settings = option->val;
      continue;
    }
    out->emplace_back(keyword, option->val);
  }
  PQconninfoFree(options);
  const long long timeout = limit.count() > 0 ? static_cast<long long>(limit.count()) : 0;
  settings += " -c statement_timeout=" + std::to_string(timeout) + " -c search_path=public";
  out->emplace_back("user", role);
  out->emplace_back("password", password);
  out->emplace_back("options", settings);
  out->emplace_back("client_encoding", "UTF8");
  out->emplace_back("application_name", "hrzserver client SQL");
  return true;
}

}  // namespace

PgClientSql::PgClientSql(pg_conn* conn, pg_cancel* cancel) : conn_(conn), cancel_(cancel) {
  pid_ = PQbackendPID(conn_);
}

PgClientSql::~PgClientSql() {
  PQfreeCancel(cancel_);
  PQfinish(conn_);
}

std::unique_ptr<PgClientSql> PgClientSql::Open(pg::Connection& owner, const std::string& location,
                                               bool admin, std::chrono::milliseconds limit,
                                               std::string* error) {
  const pg::Result login = owner.Exec(
      "SELECT CROLE, CPASSWORD FROM " + Private(kPgClientLoginTable) + " WHERE NADMIN = $1",
      {pg::Param::Text(admin ? "true" : "false")});
  if (!login.ok() || login.Rows() != 1) {
    *error = "the store has no login for client SQL: " +
             (login.ok() ? std::string("its rules are not installed") : login.error());
    return nullptr;
  }
  std::vector<std::pair<std::string, std::string>> parameters;
  std::string password = login.Text(0, 1);
  const bool read =
      ClientParameters(location, login.Text(0, 0), password, limit, &parameters, error);
  sodium_memzero(password.data(), password.size());
  if (!read) return nullptr;
  std::vector<const char*> keywords, values;
  for (const auto& [keyword, value] : parameters) {
    keywords.push_back(keyword.c_str());
    values.push_back(value.c_str());
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  PGconn* conn = PQconnectdbParams(keywords.data(), values.data(), 0);
  for (auto& [keyword, value] : parameters) sodium_memzero(value.data(), value.size());
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) {
    *error = "cannot connect for client SQL: " +
             (conn != nullptr ? TrimmedError(PQerrorMessage(conn)) : "out of memory");
    PQfinish(conn);
    return nullptr;
  }
  PGcancel* cancel = PQgetCancel(conn);
  if (cancel == nullptr) {
    *error = "cannot connect for client SQL: no way to stop its statements";
    PQfinish(conn);
    return nullptr;
  }
  std::unique_ptr<PgClientSql> client(new PgClientSql(conn, cancel));
  // Rows left by connections that ended without the engine clearing them, and any row of a
  // backend that had this one's number before.
  const pg::Result cleared = owner.Exec(
      "WITH s AS (DELETE FROM " + Private(kPgClientSessionTable) +
          " WHERE NPID = $1 OR NPID NOT IN (SELECT pid FROM pg_stat_activity WHERE pid IS NOT "
          "NULL)) DELETE FROM " +
          Private(kPgClientNoteTable) +
          " WHERE NPID = $1 OR NPID NOT IN (SELECT pid FROM pg_stat_activity WHERE pid IS NOT "
          "NULL)",
      {pg::Param::Int(client->pid_)});
  if (!cleared.ok() || !client->ReadTableColumns(error)) {
    if (!cleared.ok()) *error = "cannot prepare client SQL: " + cleared.error();
    return nullptr;
  }
  return client;
}

bool PgClientSql::ReadTableColumns(std::string* error) {
  PGresult* result = PQexec(conn_,
                            "SELECT a.attrelid::bigint, a.attnum, a.attname FROM pg_attribute a "
                            "JOIN pg_class c ON c.oid = a.attrelid JOIN pg_namespace s ON s.oid "
                            "= c.relnamespace WHERE s.nspname = 'public' AND c.relkind = 'r' AND "
                            "a.attnum > 0 AND NOT a.attisdropped");
  const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
  for (int r = 0; ok && r < PQntuples(result); ++r) {
    tableColumns_[{static_cast<unsigned>(std::strtoul(PQgetvalue(result, r, 0), nullptr, 10)),
                   std::atoi(PQgetvalue(result, r, 1))}] = PQgetvalue(result, r, 2);
  }
  if (!ok)
    *error = "cannot read the organisation's columns: " + TrimmedError(PQerrorMessage(conn_));
  PQclear(result);
  return ok;
}

// A plain column of a table comes back named as the SQLite store's schema names it, in upper
// case; an alias or an expression keeps PostgreSQL's name.
std::string PgClientSql::ColumnName(const pg_result* result, int column) const {
  const std::string name = PQfname(result, column);
  const auto found = tableColumns_.find({PQftable(result, column), PQftablecol(result, column)});
  if (found != tableColumns_.end() && found->second == name) return hrz::UpperAscii(name);
  return name;
}

void PgClientSql::Stop() {
  char reason[256];
  PQcancel(cancel_, reason, sizeof reason);
}

void PgClientSql::ClientGone() {
  gone_ = true;
  Stop();
}

PgClientOutcome PgClientSql::Run(pg::Connection& owner, const Rights& rights,
                                 const std::string& sql, hrz::wire::ResultSetWriter* result,
                                 std::size_t maxRowBytes) {
  const PgClientSqlCheck check = CheckPgClientSql(sql);
  if (!check.refusal.empty()) {
    PgClientOutcome refused = Failed(check.refusal);
    if (check.audited) refused.refusal = PgClientOutcome::Refusal{"SQL", -1, check.refusal};
    return refused;
  }
  if (gone_) return Failed("the client has gone", Status::kStopped);
  const pg::Result written = owner.Exec(
      "INSERT INTO " + Private(kPgClientSessionTable) +
          " VALUES($1, $2, $3, $4) ON CONFLICT (NPID) DO UPDATE SET NUSER = EXCLUDED.NUSER, "
          "NADMIN = EXCLUDED.NADMIN, NMANAGER = EXCLUDED.NMANAGER",
      {pg::Param::Int(pid_), pg::Param::Int(rights.userNid),
       pg::Param::Text(rights.admin ? "true" : "false"),
       pg::Param::Text(rights.manager ? "true" : "false")});
  if (!written.ok()) return Failed(written.error(), Status::kStoreFailed);

  PgClientOutcome outcome;
  outcome.status = Status::kDone;
  bool tooLarge = false, columnsDone = false;
  // The extended protocol runs exactly one statement, whatever the text holds.
  if (!PQsendQueryParams(conn_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) ||
      !PQsetSingleRowMode(conn_)) {
    outcome = Failed(TrimmedError(PQerrorMessage(conn_)));
  } else if (gone_) {
    Stop();  // the client went while the rights were written
  }
  while (PGresult* part = PQgetResult(conn_)) {
    const ExecStatusType status = PQresultStatus(part);
    if ((status == PGRES_SINGLE_TUPLE || status == PGRES_TUPLES_OK) && !columnsDone && result) {
      for (int c = 0; c < PQnfields(part); ++c) result->AddColumn(ColumnName(part, c));
      columnsDone = true;
    }
    if (status == PGRES_SINGLE_TUPLE && result && !tooLarge) {
      AppendRow(part, result);
      if (result->RowBytes() > maxRowBytes) {
        tooLarge = true;
        Stop();
      }
    } else if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
      outcome.changes = ChangedRows(part);
    } else if (status != PGRES_SINGLE_TUPLE && outcome.status == Status::kDone) {
      outcome = FailureOf(part, gone_, tooLarge);
    }
    PQclear(part);
  }
  if (tooLarge && outcome.status == Status::kDone)
    outcome = Failed("result too large", Status::kTooLarge);
  if (PQstatus(conn_) != CONNECTION_OK && outcome.status == Status::kDone) {
    outcome = Failed(TrimmedError(PQerrorMessage(conn_)));
  }
  // A statement never leaves a transaction open: each request commits on its own.
  if (PQtransactionStatus(conn_) != PQTRANS_IDLE) PQclear(PQexec(conn_, "ROLLBACK"));
  std::vector<RightsNote> notes;
  if (!TakeNotes(owner, pid_, &notes)) {
    return Failed("the rights changes of client SQL cannot be read", Status::kStoreFailed);
  }
  if (outcome.status == Status::kDone) outcome.notes = std::move(notes);
  return outcome;
}

}  // namespace hrzsrv
