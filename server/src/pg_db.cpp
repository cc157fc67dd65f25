#include "hrzserver/pg_db.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace hrzsrv::pg {
namespace {

std::string TrimmedMessage(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// The server's notices (a table that exists, a cascade) are not the caller's business.
void IgnoreNotice(void*, const char*) {}

}  // namespace

Param Param::Real(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return Param(Kind::kText, text);
}

void Result::Clear::operator()(pg_result* result) const {
  PQclear(result);
}

int Result::Rows() const {
  return result_ ? PQntuples(result_.get()) : 0;
}

int Result::Columns() const {
  return result_ ? PQnfields(result_.get()) : 0;
}

std::string Result::ColumnName(int column) const {
  const char* name = result_ ? PQfname(result_.get(), column) : nullptr;
  return name != nullptr ? name : "";
}

bool Result::IsNull(int row, int column) const {
  return !result_ || row >= Rows() || column >= Columns() ||
         PQgetisnull(result_.get(), row, column) == 1;
}

std::string Result::Text(int row, int column) const {
  if (IsNull(row, column)) return {};
  return std::string(PQgetvalue(result_.get(), row, column),
                     static_cast<std::size_t>(PQgetlength(result_.get(), row, column)));
}

std::optional<std::int64_t> Result::Int(int row, int column) const {
  if (IsNull(row, column)) return std::nullopt;
  const std::string text = Text(row, column);
  std::int64_t value = 0;
  const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failure != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string Result::Bytes(int row, int column) const {
  if (IsNull(row, column)) return {};
  std::size_t size = 0;
  unsigned char* bytes = PQunescapeBytea(
      reinterpret_cast<const unsigned char*>(PQgetvalue(result_.get(), row, column)), &size);
  if (bytes == nullptr) return {};
  std::string out(reinterpret_cast<const char*>(bytes), size);
  PQfreemem(bytes);
  return out;
}

std::int64_t Result::Affected() const {
  const char* count = result_ ? PQcmdTuples(result_.get()) : nullptr;
  return count != nullptr && *count != '\0' ? std::strtoll(count, nullptr, 10) : 0;
}

std::string Result::Command() const {
  const char* tag = result_ ? PQcmdStatus(result_.get()) : nullptr;
  return tag != nullptr ? tag : "";
}

std::unique_ptr<Connection> Connection::Open(const std::string& location, std::string* error) {
  if (!IsPostgresLocation(location)) {
    if (error) *error = location + " is not a postgresql:// location";
    return nullptr;
  }
  pg_conn* conn = PQconnectdb(location.c_str());
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK ||
      PQsetClientEncoding(conn, "UTF8") != 0) {
    if (error) {
      *error = "cannot connect to PostgreSQL: " +
               (conn != nullptr ? TrimmedMessage(PQerrorMessage(conn)) : "out of memory");
    }
    PQfinish(conn);
    return nullptr;
  }
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  return std::unique_ptr<Connection>(new Connection(conn));
}

Connection::~Connection() {
  PQfinish(conn_);
}

Result Connection::Finish(pg_result* raw) const {
  Result result;
  result.result_.reset(raw);
  const ExecStatusType status = raw != nullptr ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return result;
  result.error_ =
      TrimmedMessage(raw != nullptr ? PQresultErrorMessage(raw) : PQerrorMessage(conn_));
  if (result.error_.empty()) result.error_ = "the statement failed";
  const char* state = raw != nullptr ? PQresultErrorField(raw, PG_DIAG_SQLSTATE) : nullptr;
  if (state != nullptr) result.sqlState_ = state;
  return result;
}

Result Connection::Exec(std::string_view sql, std::initializer_list<Param> params) {
  return Exec(sql, std::vector<Param>(params));
}

Result Connection::Exec(std::string_view sql, const std::vector<Param>& params) {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  for (const Param& param : params) {
    // libpq reads a text value up to its first NUL, and PostgreSQL's text holds none.
    if (!param.IsBytes() && param.Value().find('\0') != std::string::npos) {
      Result refused;
      refused.error_ = "a text value holds a NUL character";
      return refused;
    }
    values.push_back(param.IsNull() ? nullptr : param.Value().c_str());
    lengths.push_back(static_cast<int>(param.Value().size()));
    formats.push_back(param.IsBytes() ? 1 : 0);
  }
  const std::string text(sql);
  return Finish(PQexecParams(conn_, text.c_str(), static_cast<int>(params.size()), nullptr,
                             values.data(), lengths.data(), formats.data(), 0));
}

Result Connection::ExecScript(const std::string& script) {
  return Finish(PQexec(conn_, script.c_str()));
}

std::string Connection::QuoteIdentifier(std::string_view name) const {
  char* quoted = PQescapeIdentifier(conn_, name.data(), name.size());
  if (quoted == nullptr) return {};
  std::string out(quoted);
  PQfreemem(quoted);
  return out;
}

std::string Connection::PasswordVerifier(std::string_view password, std::string_view role) {
  const std::string plain(password), user(role);
  char* verifier = PQencryptPasswordConn(conn_, plain.c_str(), user.c_str(), "scram-sha-256");
  if (verifier == nullptr) return {};
  std::string out(verifier);
  PQfreemem(verifier);
  return out;
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
  const Result begin = connection_.Exec("BEGIN");
  error_ = begin.error();
  open_ = begin.ok();
}

Transaction::~Transaction() {
  if (open_) connection_.Exec("ROLLBACK");
}

bool Transaction::Commit(std::string* error) {
  if (!open_) {
    if (error) *error = error_.empty() ? "the transaction has ended" : error_;
    return false;
  }
  open_ = false;
  const Result commit = connection_.Exec("COMMIT");
  // COMMIT of a transaction that failed earlier answers with a rollback, not an error.
  const bool committed = commit.ok() && commit.Command() == "COMMIT";
  if (!committed && error) {
    *error = commit.ok() ? "the transaction was rolled back" : commit.error();
  }
  return committed;
}

}  // namespace hrzsrv::pg
