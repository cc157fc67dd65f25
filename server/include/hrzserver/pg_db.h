// Thin RAII over libpq: a connection opened from a postgresql:// location, statements whose
// values are always bound as parameters ($1, $2, ...), their rows, and a transaction that
// rolls back unless committed. Errors are results carrying the server's message.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hrzcommon/text.h"

struct pg_conn;
struct pg_result;

namespace hrzsrv::pg {

// The type OIDs of the values a statement binds and reads.
enum TypeOid : unsigned {
  kUnknownOid = 0,  // left for the server to infer from where the parameter stands
  kBoolOid = 16,
  kByteaOid = 17,
  kInt8Oid = 20,
  kInt2Oid = 21,
  kInt4Oid = 23,
  kFloat4Oid = 700,
  kFloat8Oid = 701,
  kNumericOid = 1700,
};

// One value bound to a parameter: text, a number, bytes (bytea) or null. Type() is what a
// prepared statement declares for it: bigint, double precision, bytea, or left to the server
// for text and null.
class Param {
 public:
  static Param Null() { return Param(Kind::kNull, {}); }
  static Param Text(std::string_view text) { return Param(Kind::kText, std::string(text)); }
  static Param Int(std::int64_t value) { return Param(Kind::kInt, std::to_string(value)); }
  // Written with enough digits to read back the same double.
  static Param Real(double value);
  static Param Bytes(std::string_view bytes) { return Param(Kind::kBytes, std::string(bytes)); }

  bool IsNull() const { return kind_ == Kind::kNull; }
  bool IsBytes() const { return kind_ == Kind::kBytes; }
  const std::string& Value() const { return value_; }
  unsigned Type() const;

 private:
  enum class Kind { kNull, kText, kInt, kReal, kBytes };
  Param(Kind kind, std::string value) : kind_(kind), value_(std::move(value)) {}
  Kind kind_;
  std::string value_;
};

// The outcome of one statement: its rows (0-based rows and columns, cells as text) or the
// server's error.
class Result {
 public:
  Result() = default;
  bool ok() const { return error_.empty(); }
  // The server's message; empty when the statement succeeded.
  const std::string& error() const { return error_; }
  // The five-character SQLSTATE of a failure ("42501": no privilege); empty on success.
  const std::string& sqlState() const { return sqlState_; }
  // The failure's primary message alone: no severity, detail or context lines.
  const std::string& message() const { return message_; }

  int Rows() const;
  int Columns() const;
  std::string ColumnName(int column) const;
  // The column's type OID (TypeOid names the ones a store reads).
  unsigned ColumnType(int column) const;
  bool IsNull(int row, int column) const;
  std::string Text(int row, int column) const;
  // The cell's text in place, valid while the result lives; empty for null.
  std::string_view View(int row, int column) const;
  // The cell as a whole number; nullopt when it is null or not a whole number.
  std::optional<std::int64_t> Int(int row, int column) const;
  // A bytea cell's bytes.
  std::string Bytes(int row, int column) const;
  // The number of rows an INSERT, UPDATE or DELETE touched.
  std::int64_t Affected() const;
  // The command tag: "COMMIT", or "ROLLBACK" for a commit of a failed transaction.
  std::string Command() const;

 private:
  friend class Connection;
  struct Clear {
    void operator()(pg_result* result) const;
  };
  std::unique_ptr<pg_result, Clear> result_;
  std::string error_, sqlState_, message_;
};

// True for the locations a PostgreSQL store has: postgresql://... or postgres://...
inline bool IsPostgresLocation(std::string_view location) {
  return hrz::StartsWithNoCase(location, "postgresql://") ||
         hrz::StartsWithNoCase(location, "postgres://");
}

// One connection; used by one thread at a time.
class Connection {
 public:
  // Connects to location (a postgresql:// URI); null with the reason in error.
  static std::unique_ptr<Connection> Open(const std::string& location, std::string* error);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Runs one statement with its values bound to $1, $2, ...; never pastes them into the text.
  Result Exec(std::string_view sql, std::initializer_list<Param> params = {});
  Result Exec(std::string_view sql, const std::vector<Param>& params);
  // Runs a script of several statements without parameters: the store's fixed schema text.
  Result ExecScript(const std::string& script);
  // A server-side prepared statement of sql named name, its parameters of types (TypeOid;
  // kUnknownOid for the server to infer), run by ExecPrepared until the connection closes or
  // DEALLOCATE drops it.
  Result Prepare(const std::string& name, std::string_view sql, const std::vector<unsigned>& types);
  Result ExecPrepared(const std::string& name, const std::vector<Param>& params);
  // True between BEGIN and its end; InFailedTransaction() also when a failed statement has
  // spoiled it, so that the server refuses every statement until ROLLBACK.
  bool InTransaction() const;
  bool InFailedTransaction() const;
  // name quoted as an identifier ("a""b"), for names read from the catalogue.
  std::string QuoteIdentifier(std::string_view name) const;
  // The server's verifier of role's password (SCRAM), made here so that the password itself
  // never travels in a statement; empty when it cannot be made.
  std::string PasswordVerifier(std::string_view password, std::string_view role);

 private:
  explicit Connection(pg_conn* conn) : conn_(conn) {}
  Result Finish(pg_result* result) const;
  static Result Refused(const std::string& why);
  pg_conn* conn_;
};

// BEGIN ... COMMIT; rolls back unless Commit() succeeded.
class Transaction {
 public:
  explicit Transaction(Connection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Empty when BEGIN succeeded; the reason otherwise.
  const std::string& error() const { return error_; }
  bool Commit(std::string* error);

 private:
  Connection& connection_;
  std::string error_;
  bool open_ = false;
};

}  // namespace hrzsrv::pg
