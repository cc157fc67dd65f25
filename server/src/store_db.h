// The store as the engine's own statements reach it, kept in an SQLite file or in a
// PostgreSQL database. A statement is written once for both: values are bound to "?" or
// "?N" (1-based), and the text sticks to what both understand (an upsert is
// "INSERT ... ON CONFLICT(...) DO UPDATE", not "INSERT OR REPLACE").
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "write_rules.h"

namespace hrzsrv {

namespace pg {
class Connection;
}

enum class StoreKind { kSqlite, kPostgres };

// Why the last statement of a connection failed, where the engine answers each differently.
enum class StoreFailure {
  kNone,
  kUnique,            // a row with the same unique key is there already
  kOrganisationRule,  // one of the organisation's link rules; the message is the rule's
  kOther,
};

// One prepared statement of a connection; binds are 1-based, columns 0-based.
class StoreStatement {
 public:
  virtual ~StoreStatement() = default;
  virtual void BindInt(int index, std::int64_t value) = 0;
  virtual void BindReal(int index, double value) = 0;
  virtual void BindText(int index, std::string_view text) = 0;
  virtual void BindBlob(int index, std::string_view bytes) = 0;
  virtual void BindNull(int index) = 0;
  // Runs the statement on the first call and moves to the next row: true while a row is
  // there, false at the end or on failure (Failed() tells which).
  virtual bool Step() = 0;
  virtual bool Failed() const = 0;
  virtual int Columns() const = 0;
  virtual bool IsNull(int column) const = 0;
  virtual std::int64_t Int(int column) const = 0;
  virtual double Real(int column) const = 0;
  virtual std::string Text(int column) const = 0;
  virtual std::string Blob(int column) const = 0;
  // The cell as the store holds it: integer, real, text or bytes.
  virtual Cell CellAt(int column) const = 0;
};

// A connection; used by one thread at a time.
class StoreDb {
 public:
  virtual ~StoreDb() = default;
  virtual StoreKind kind() const = 0;
  // Null when the text cannot be prepared; LastError() says why.
  virtual std::unique_ptr<StoreStatement> Prepare(std::string_view sql) = 0;
  // Runs statements without values or results (the schema's text).
  virtual bool Exec(std::string_view script, std::string* error) = 0;
  // A write transaction: writers of every connection to the store take turns, so what a
  // writer reads inside it stays true until it commits.
  virtual bool BeginWrite() = 0;
  virtual bool Commit() = 0;
  virtual void Rollback() = 0;
  // The NID the last INSERT of this connection numbered, and the rows its last statement
  // changed.
  virtual std::int64_t LastInsertId() = 0;
  virtual std::int64_t Changes() = 0;
  virtual StoreFailure LastFailure() const = 0;
  virtual std::string LastError() const = 0;
  // How long statements of this connection wait for other writers from now on, where it
  // should be shorter than the store's own wait.
  virtual void LimitWait(std::chrono::milliseconds) {}
  // The SQLite connection under an SQLite store (client SQL, its authorizer, backups);
  // null on PostgreSQL.
  virtual sqlite3* sqlite() { return nullptr; }
  // The libpq connection under a PostgreSQL store (client SQL writes its rights and takes its
  // notes there); null on SQLite.
  virtual pg::Connection* postgres() { return nullptr; }
};

// Opens the store at location: a file, or a postgresql:// database. create makes an empty
// SQLite file where there is none; a PostgreSQL database is made by its administrator.
std::unique_ptr<StoreDb> OpenStoreDb(const std::string& location, bool create, std::string* error);

}  // namespace hrzsrv
