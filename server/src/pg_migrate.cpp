// Copying an organisation from an SQLite store into an empty PostgreSQL database.
#include <unistd.h>

#include <algorithm>
#include <map>
#include <vector>

#include "hrzcommon/text.h"
#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"
#include "pg_schema.h"
#include "sqlite_store_db.h"
#include "statement.h"
#include "store.h"

namespace hrzsrv {
namespace {

// Sessions and their engines belong to the server processes holding them, none of which
// serves the new store.
constexpr std::string_view kLiveTables[] = {"SRV_SESSION", "SRV_PROCESS"};
// PostgreSQL takes at most 65535 parameters in one statement.
constexpr std::size_t kParametersPerInsert = 30000;
constexpr std::size_t kRowsPerInsert = 1000;

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

struct TargetTable {
  std::string qualified;                       // "schema"."table", quoted
  std::map<std::string, std::string> columns;  // PostgreSQL's name and type, by upper-case name
};

// A read transaction on the source, so that every table is copied as of one moment.
class SourceSnapshot {
 public:
  explicit SourceSnapshot(StoreDb& db) : db_(db), open_(db.Exec("BEGIN", nullptr)) {}
  ~SourceSnapshot() {
    if (open_) db_.Exec("ROLLBACK", nullptr);
  }
  bool ok() const { return open_; }

 private:
  StoreDb& db_;
  bool open_;
};

bool CheckTargetEmpty(pg::Connection& db, std::string* error) {
  const pg::Result found = db.Exec(
      "SELECT (SELECT count(*) FROM pg_namespace WHERE nspname = $1), (SELECT count(*) FROM "
      "pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'public' AND "
      "c.relkind IN ('r', 'v', 'm', 'p', 'f'))",
      {pg::Param::Text(kPgPrivateSchema)});
  if (!found.ok()) return Fail(error, "cannot read the target's catalogue: " + found.error());
  if (found.Int(0, 0).value_or(1) != 0) {
    return Fail(error, "the target already holds a store (schema " + std::string(kPgPrivateSchema) +
                           " exists)");
  }
  if (found.Int(0, 1).value_or(1) != 0) {
    return Fail(error, "the target is not empty: its schema public holds tables");
  }
  return true;
}

bool ReadTargetTables(pg::Connection& db, std::map<std::string, TargetTable>* tables,
                      std::string* error) {
  const pg::Result columns = db.Exec(
      "SELECT table_schema, table_name, column_name, data_type FROM information_schema.columns "
      "WHERE table_schema IN ('public', $1) ORDER BY table_schema, table_name, ordinal_position",
      {pg::Param::Text(kPgPrivateSchema)});
  if (!columns.ok()) return Fail(error, "cannot read the new tables: " + columns.error());
  for (int row = 0; row < columns.Rows(); ++row) {
    TargetTable& table = (*tables)[hrz::UpperAscii(columns.Text(row, 1))];
    table.qualified =
        db.QuoteIdentifier(columns.Text(row, 0)) + "." + db.QuoteIdentifier(columns.Text(row, 1));
    table.columns[hrz::UpperAscii(columns.Text(row, 2))] = columns.Text(row, 3);
  }
  return true;
}

// A cell as PostgreSQL takes it; SQLite's types are per value, so the column decides bytes.
pg::Param ParamOf(const Statement& rows, int column, bool bytea) {
  const Cell cell = rows.CellAt(column);
  switch (cell.type) {
    case SQLITE_NULL:
      return pg::Param::Null();
    case SQLITE_INTEGER:
      return pg::Param::Int(cell.integer);
    case SQLITE_FLOAT:
      return pg::Param::Real(rows.Real(column));  // the cell holds a real as text
    default:
      return bytea ? pg::Param::Bytes(cell.bytes) : pg::Param::Text(cell.bytes);
  }
}

std::string InsertText(const TargetTable& into, const std::vector<std::string>& columns,
                       std::size_t rows, pg::Connection& db) {
  std::string sql = "INSERT INTO " + into.qualified + " (";
  for (std::size_t c = 0; c < columns.size(); ++c) {
    sql += (c ? ", " : "") + db.QuoteIdentifier(hrz::LowerAscii(columns[c]));
  }
  sql += ") VALUES ";
  for (std::size_t r = 0, n = 1; r < rows; ++r) {
    sql += r ? ", (" : "(";
    for (std::size_t c = 0; c < columns.size(); ++c, ++n) {
      sql += (c ? ", $" : "$") + std::to_string(n);
    }
    sql += ")";
  }
  return sql;
}

bool CopyTable(StoreDb& source, pg::Connection& target, const std::string& table,
               const TargetTable& into, const CopyProgress& progress, std::string* error) {
  std::vector<std::string> columns;
  std::vector<bool> bytea;
  Statement names(source, "SELECT name FROM pragma_table_info(?)");
  names.Bind(1, std::string_view(table));
  while (names.Row()) {
    const std::string column = names.Text(0);
    const auto found = into.columns.find(hrz::UpperAscii(column));
    if (!hrz::IsSqlName(column) || found == into.columns.end()) {
      return Fail(error, "the column " + table + "." + column + " has no place on PostgreSQL");
    }
    columns.push_back(column);
    bytea.push_back(found->second == "bytea");
  }
  if (columns.empty()) return Fail(error, "cannot read the columns of " + table);
  Statement count(source, "SELECT count(*) FROM " + table);
  if (!count.Row()) return Fail(error, "cannot count the rows of " + table);
  const std::int64_t total = count.Int(0);

  std::string list;
  for (const std::string& column : columns) list += (list.empty() ? "" : ", ") + column;
  Statement rows(source, "SELECT " + list + " FROM " + table);
  const std::size_t batch =
      std::max<std::size_t>(1, std::min(kRowsPerInsert, kParametersPerInsert / columns.size()));
  const std::string fullInsert = InsertText(into, columns, batch, target);
  std::vector<pg::Param> params;
  std::int64_t copied = 0;
  const auto flush = [&] {
    const std::size_t pending = params.size() / columns.size();
    if (pending == 0) return true;
    const pg::Result done = target.Exec(
        pending == batch ? fullInsert : InsertText(into, columns, pending, target), params);
    if (!done.ok()) return Fail(error, "cannot copy the rows of " + table + ": " + done.error());
    copied += static_cast<std::int64_t>(pending);
    params.clear();
    if (progress) progress(table, copied, total);
    return true;
  };
  while (rows.Row()) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      params.push_back(ParamOf(rows, static_cast<int>(c), bytea[c]));
    }
    if (params.size() == batch * columns.size() && !flush()) return false;
  }
  if (!rows.Done()) return Fail(error, "cannot read the rows of " + table);
  if (!flush()) return false;
  if (copied == 0 && progress) progress(table, 0, 0);
  return true;
}

// The next NID of every table that numbers its rows comes after the highest copied and after
// the highest SQLite handed out (UUSR numbers on from the last system NID).
bool SetNumbering(StoreDb& source, pg::Connection& target,
                  const std::map<std::string, TargetTable>& tables, std::string* error) {
  for (const auto& [name, table] : tables) {
    if (!table.columns.count("NID")) continue;
    const pg::Result sequence =
        target.Exec("SELECT pg_get_serial_sequence($1, 'nid')", {pg::Param::Text(table.qualified)});
    if (!sequence.ok()) return Fail(error, "cannot find the numbering of " + name);
    if (sequence.IsNull(0, 0)) continue;
    std::int64_t floor = name == "UUSR" ? kLastSystemNid : 0;
    Statement handedOut(source, "SELECT seq FROM sqlite_sequence WHERE upper(name) = ?");
    handedOut.Bind(1, std::string_view(name));
    if (handedOut.Row()) floor = std::max(floor, handedOut.Int(0));
    const pg::Result set = target.Exec(
        "SELECT setval($1::regclass, greatest(n, 1), n > 0) FROM (SELECT "
        "greatest(coalesce(max(nid), "
        "0), $2::bigint) AS n FROM " +
            table.qualified + ") AS highest",
        {pg::Param::Text(sequence.Text(0, 0)), pg::Param::Int(floor)});
    if (!set.ok()) return Fail(error, "cannot set the numbering of " + name + ": " + set.error());
  }
  return true;
}

bool CopyStore(StoreDb& source, pg::Connection& target, const CopyProgress& progress,
               std::string* error) {
  std::map<std::string, TargetTable> tables;
  if (!CheckTargetEmpty(target, error) || !CreatePgTables(target, error) ||
      !ReadTargetTables(target, &tables, error)) {
    return false;
  }
  Statement list(source,
                 "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
                 "ORDER BY name");
  std::vector<std::string> names;
  while (list.Row()) names.push_back(list.Text(0));
  if (names.empty()) return Fail(error, "cannot read the store's tables");
  for (const std::string& name : names) {
    const auto into = tables.find(hrz::UpperAscii(name));
    if (!hrz::IsSqlName(name) || into == tables.end()) {
      return Fail(error, "the store's table " + name + " has no place on PostgreSQL");
    }
    const bool live = std::any_of(std::begin(kLiveTables), std::end(kLiveTables),
                                  [&](std::string_view t) { return hrz::EqualsNoCase(t, name); });
    if (!live && !CopyTable(source, target, name, into->second, progress, error)) return false;
  }
  return SetNumbering(source, target, tables, error) && InstallPgRules(target, error);
}

}  // namespace

bool MigrateToPostgres(const std::string& from, const std::string& to, const CopyProgress& progress,
                       std::string* error) {
  if (::access(from.c_str(), R_OK) != 0) return Fail(error, "cannot read the store " + from);
  std::unique_ptr<StoreDb> source = OpenSqliteStoreDb(from, false, error);
  if (!source) return false;
  PublicKey pk;
  SecretKey sk;
  const bool isStore = LoadKeypair(*source, &pk, &sk);
  sodium_memzero(sk.data(), sk.size());
  if (!isStore) return Fail(error, from + " is not a store (no server key)");
  SourceSnapshot snapshot(*source);
  if (!snapshot.ok()) return Fail(error, "cannot read " + from + ": " + source->LastError());

  std::unique_ptr<pg::Connection> target = pg::Connection::Open(to, error);
  if (!target) return false;
  pg::Transaction tx(*target);
  if (!tx.error().empty()) return Fail(error, "cannot start the copy: " + tx.error());
  return CopyStore(*source, *target, progress, error) && tx.Commit(error);
}

}  // namespace hrzsrv
