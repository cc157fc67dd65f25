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

// The values of params as libpq takes them: text, except bytes sent as they are.
struct ParamValues {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
};

// libpq reads a text value up to its first NUL, and PostgreSQL's text holds none: false then.
bool Marshal(const std::vector<Param>& params, ParamValues* out) {
  for (const Param& param : params) {
    if (!param.IsBytes() && param.Value().find('\0') != std::string::npos) return false;
    out->values.push_back(param.IsNull() ? nullptr : param.Value().c_str());
    out->lengths.push_back(static_cast<int>(param.Value().size()));
    out->formats.push_back(param.IsBytes() ? 1 : 0);
  }
  return true;
}

constexpr const char* kNulInText = "a text value holds a NUL character";

}  // namespace

Param Param::Real(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return Param(Kind::kReal, text);
}

unsigned Param::Type() const {
  switch (kind_) {
    case Kind::kInt:
      return kInt8Oid;
    case Kind::kReal:
      return kFloat8Oid;
    case Kind::kBytes:
      return kByteaOid;
    case Kind::kNull:
    case Kind::kText:
      return kUnknownOid;
  }
  return kUnknownOid;
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

unsigned Result::ColumnType(int column) const {
  return result_ && column >= 0 && column < Columns() ? PQftype(result_.get(), column) : 0;
}

std::string Result::ColumnName(int column) const {
  const char* name = result_ ? PQfname(result_.get(), column) : nullptr;
  return name != nullptr ? name : "";
}

bool Result::IsNull(int row, int column) const {
  return !result_ || row < 0 || column < 0 || row >= Rows() || column >= Columns() ||
         PQgetisnull(result_.get(), row, column) == 1;
}

std::string Result::Text(int row, int column) const {
  return std::string(View(row, column));
}

std::string_view Result::View(int row, int column) const {
  if (IsNull(row, column)) return {};
  return std::string_view(PQgetvalue(result_.get(), row, column),
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
  const char* primary = raw != nullptr ? PQresultErrorField(raw, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  result.message_ = primary != nullptr ? TrimmedMessage(primary) : result.error_;
  return result;
}

Result Connection::Refused(const std::string& why) {
  Result refused;
  refused.error_ = refused.message_ = why;
  return refused;
}

Result Connection::Exec(std::string_view sql, std::initializer_list<Param> params) {
  return Exec(sql, std::vector<Param>(params));
}

Result Connection::Exec(std::string_view sql, const std::vector<Param>& params) {
  ParamValues in;
  if (!Marshal(params, &in)) return Refused(kNulInText);
  const std::string text(sql);
  return Finish(PQexecParams(conn_, text.c_str(), static_cast<int>(params.size()), nullptr,
                             in.values.data(), in.lengths.data(), in.formats.data(), 0));
}

Result Connection::Prepare(const std::string& name, std::string_view sql,
                           const std::vector<unsigned>& types) {
  const std::string text(sql);
  return Finish(
      PQprepare(conn_, name.c_str(), text.c_str(), static_cast<int>(types.size()), types.data()));
}

Result Connection::ExecPrepared(const std::string& name, const std::vector<Param>& params) {
  ParamValues in;
  if (!Marshal(params, &in)) return Refused(kNulInText);
  return Finish(PQexecPrepared(conn_, name.c_str(), static_cast<int>(params.size()),
                               in.values.data(), in.lengths.data(), in.formats.data(), 0));
}

bool Connection::InTransaction() const {
  const PGTransactionStatusType status = PQtransactionStatus(conn_);
  return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

bool Connection::InFailedTransaction() const {
  return PQtransactionStatus(conn_) == PQTRANS_INERROR;
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
