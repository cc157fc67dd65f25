#include "pg_store_db.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

#include "hrzcommon/text.h"
#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"
#include "pg_statement_text.h"

namespace hrzsrv {
namespace {

using pg::Param;

// Translations and prepared statements kept per connection; beyond this each cache starts
// again, so that texts holding values cannot make it grow without end.
constexpr std::size_t kMaxCached = 256;

// The advisory lock every writer of every server on the database takes in turn.
constexpr std::int64_t kWriterLock = 0x68727a5354;

// How long a statement waits for a lock another writer holds (the writers' turn, a row)
// before it fails, as long as an SQLite store waits for a busy file.
constexpr std::chrono::milliseconds kStoreWait{10000};

std::string LockTimeout(std::chrono::milliseconds wait) {
  return "SET lock_timeout = " + std::to_string(wait.count());
}

// A statement's text as the server runs it, and what the store does around it.
struct Translation {
  std::string text;
  int parameters = 0;
  // An INSERT into a table with a NID: RETURNING NID was added, so its rows are the store's
  // (LastInsertId), not the caller's.
  bool returnsNid = false;
  // When the rows bring their own NID into a numbered table: that table's sequence, moved
  // past them so that the next numbered row does not collide.
  std::string sequence;
};

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

template <typename Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

StoreFailure FailureOf(const std::string& sqlState) {
  if (sqlState == "23505") return StoreFailure::kUnique;
  if (sqlState == "HZ001") return StoreFailure::kOrganisationRule;
  return StoreFailure::kOther;
}

bool IsIntegerType(unsigned type) {
  return type == pg::kInt8Oid || type == pg::kInt4Oid || type == pg::kInt2Oid;
}

bool IsRealType(unsigned type) {
  return type == pg::kFloat8Oid || type == pg::kFloat4Oid || type == pg::kNumericOid;
}

// The leading number of text, 0 when there is none, as SQLite reads a number from text.
template <typename Number>
Number LeadingNumber(std::string_view text) {
  Number value{};
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::int64_t Truncated(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLimit = 9223372036854775807.0;
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

class PgStoreDb;

class PgStoreStatement : public StoreStatement {
 public:
  PgStoreStatement(PgStoreDb& db, std::shared_ptr<const Translation> translation)
      : db_(db),
        translation_(std::move(translation)),
        params_(static_cast<std::size_t>(translation_->parameters), Param::Null()) {}

  void BindInt(int index, std::int64_t value) override { Bind(index, Param::Int(value)); }
  void BindReal(int index, double value) override { Bind(index, Param::Real(value)); }
  void BindText(int index, std::string_view text) override { Bind(index, Param::Text(text)); }
  void BindBlob(int index, std::string_view bytes) override { Bind(index, Param::Bytes(bytes)); }
  void BindNull(int index) override { Bind(index, Param::Null()); }

  bool Step() override;
  bool Failed() const override { return failed_; }
  int Columns() const override { return result_.Columns(); }
  bool IsNull(int column) const override { return result_.IsNull(row_, column); }

  std::int64_t Int(int column) const override {
    const std::string_view text = result_.View(row_, column);
    const unsigned type = result_.ColumnType(column);
    if (type == pg::kBoolOid) return text == "t" ? 1 : 0;
    if (IsRealType(type)) return Truncated(LeadingNumber<double>(text));
    return LeadingNumber<std::int64_t>(text);
  }

  double Real(int column) const override {
    if (result_.ColumnType(column) == pg::kBoolOid) return static_cast<double>(Int(column));
    return LeadingNumber<double>(result_.View(row_, column));
  }

  std::string Text(int column) const override {
    const unsigned type = result_.ColumnType(column);
    if (type == pg::kByteaOid) return result_.Bytes(row_, column);
    if (type == pg::kBoolOid && !IsNull(column)) return std::to_string(Int(column));
    return result_.Text(row_, column);
  }

  std::string Blob(int column) const override { return Text(column); }

  Cell CellAt(int column) const override {
    Cell cell;
    if (IsNull(column)) return cell;
    const unsigned type = result_.ColumnType(column);
    if (IsIntegerType(type) || type == pg::kBoolOid) {
      cell.type = SQLITE_INTEGER;
      cell.integer = Int(column);
    } else if (IsRealType(type)) {
      cell.type = SQLITE_FLOAT;
      cell.bytes = result_.Text(row_, column);
    } else {
      cell.type = type == pg::kByteaOid ? SQLITE_BLOB : SQLITE_TEXT;
      cell.bytes = Text(column);
    }
    return cell;
  }

 private:
  void Bind(int index, Param value) {
    if (index < 1 || index > translation_->parameters) {
      bindError_ = "the statement has no value ?" + std::to_string(index);
      return;
    }
    params_[static_cast<std::size_t>(index - 1)] = std::move(value);
  }

  PgStoreDb& db_;
  std::shared_ptr<const Translation> translation_;
  std::vector<Param> params_;
  std::string bindError_;
  pg::Result result_;
  bool ran_ = false, failed_ = false;
  int row_ = -1, rows_ = 0;
};

class PgStoreDb : public StoreDb {
 public:
  explicit PgStoreDb(std::unique_ptr<pg::Connection> connection)
      : connection_(std::move(connection)) {}

  StoreKind kind() const override { return StoreKind::kPostgres; }
  pg::Connection* postgres() override { return connection_.get(); }

  std::unique_ptr<StoreStatement> Prepare(std::string_view sql) override {
    auto found = translations_.find(sql);
    if (found == translations_.end()) {
      std::shared_ptr<const Translation> translation = Translate(sql);
      if (!translation) return nullptr;
      if (translations_.size() >= kMaxCached) translations_.clear();
      found = translations_.emplace(std::string(sql), std::move(translation)).first;
    }
    return std::make_unique<PgStoreStatement>(*this, found->second);
  }

  bool Exec(std::string_view script, std::string* error) override {
    const bool ok = Record(connection_->ExecScript(std::string(script)));
    if (!ok && error) *error = error_;
    return ok;
  }

  bool BeginWrite() override {
    if (connection_->InTransaction()) {
      return Fail(StoreFailure::kOther, "a transaction is open already");
    }
    if (Record(connection_->ExecScript("BEGIN ISOLATION LEVEL READ COMMITTED; SELECT "
                                       "pg_advisory_xact_lock(" +
                                       std::to_string(kWriterLock) + ")"))) {
      return true;
    }
    if (connection_->InTransaction()) connection_->Exec("ROLLBACK");
    return false;
  }

  bool Commit() override {
    if (!connection_->InTransaction()) return Fail(StoreFailure::kOther, "no transaction is open");
    const pg::Result commit = connection_->Exec("COMMIT");
    if (!Record(commit)) return false;
    // COMMIT of a transaction a failed statement spoiled answers ROLLBACK, not an error.
    if (commit.Command() != "COMMIT") {
      return Fail(StoreFailure::kOther, "the transaction failed and was rolled back");
    }
    return true;
  }

  void Rollback() override {
    if (connection_->InTransaction()) connection_->Exec("ROLLBACK");
  }

  std::int64_t LastInsertId() override { return lastInsertId_; }
  std::int64_t Changes() override { return changes_; }
  StoreFailure LastFailure() const override { return failure_; }
  std::string LastError() const override { return error_; }
  void LimitWait(std::chrono::milliseconds wait) override {
    Record(connection_->Exec(LockTimeout(wait)));
  }

  // Runs a statement with its values; false with the failure recorded.
  bool Run(const Translation& translation, const std::vector<Param>& params,
           const std::string& bindError, pg::Result* result) {
    if (!bindError.empty()) return Fail(StoreFailure::kOther, bindError);
    std::vector<unsigned> types;
    types.reserve(params.size());
    for (const Param& param : params) types.push_back(param.Type());
    const std::string* name = PreparedName(translation.text, types);
    if (name == nullptr) return false;
    *result = connection_->ExecPrepared(*name, params);
    if (!Record(*result)) return false;
    const std::string tag = result->Command();
    if (tag.starts_with("INSERT") || tag.starts_with("UPDATE") || tag.starts_with("DELETE")) {
      changes_ = result->Affected();
    }
    if (translation.returnsNid && result->Rows() > 0) {
      lastInsertId_ = result->Int(result->Rows() - 1, 0).value_or(0);
      if (!translation.sequence.empty()) return KeepNumberingAbove(translation.sequence, *result);
    }
    return true;
  }

 private:
  bool Fail(StoreFailure failure, const std::string& why) {
    failure_ = failure;
    error_ = why;
    return false;
  }

  bool Record(const pg::Result& result) {
    if (result.ok()) {
      failure_ = StoreFailure::kNone;
      error_.clear();
      return true;
    }
    return Fail(FailureOf(result.sqlState()), result.message());
  }

  // The name of sql prepared with types, preparing it on first use; null with the failure
  // recorded.
  const std::string* PreparedName(const std::string& sql, const std::vector<unsigned>& types) {
    std::string key = sql;
    key += '\0';
    for (const unsigned type : types) key += std::to_string(type) + ',';
    const auto found = prepared_.find(key);
    if (found != prepared_.end()) return &found->second;
    // Dropping statements is refused inside a spoiled transaction; they wait for the next turn.
    if (prepared_.size() >= kMaxCached && !connection_->InFailedTransaction() &&
        connection_->Exec("DEALLOCATE ALL").ok()) {
      prepared_.clear();
    }
    const std::string name = "hrz_" + std::to_string(++preparedCount_);
    if (!Record(connection_->Prepare(name, sql, types))) return nullptr;
    return &prepared_.emplace(std::move(key), name).first->second;
  }

  std::shared_ptr<const Translation> Translate(std::string_view sql) {
    PgStatementText text;
    std::string why;
    if (!TranslateForPostgres(sql, &text, &why)) {
      Fail(StoreFailure::kOther, why);
      return nullptr;
    }
    auto translation = std::make_shared<Translation>();
    translation->parameters = text.parameters;
    translation->text = std::move(text.text);
    if (!text.insertTable.empty() && !text.returning) {
      const pg::Result nid = connection_->Exec(
          "SELECT pg_get_serial_sequence(a.attrelid::regclass::text, 'nid') FROM pg_attribute a "
          "WHERE a.attrelid = to_regclass($1) AND a.attname = 'nid' AND NOT a.attisdropped",
          {Param::Text(text.insertTable)});
      if (!Record(nid)) return nullptr;
      if (nid.Rows() == 1) {
        translation->text.resize(text.end);
        translation->text += " RETURNING NID";
        translation->returnsNid = true;
        if (text.insertOwnNid && !nid.IsNull(0, 0)) translation->sequence = nid.Text(0, 0);
      }
    }
    // A text without values is prepared here, so that one the server refuses is refused at
    // once. One with values is prepared at its first step, for the types of its values.
    if (translation->parameters == 0 && PreparedName(translation->text, {}) == nullptr) {
      return nullptr;
    }
    return translation;
  }

  // SQLite numbers a row after the highest NID ever written; an identity numbers on from its
  // own counter, which rows bringing their NID do not move.
  bool KeepNumberingAbove(const std::string& sequence, const pg::Result& rows) {
    std::int64_t highest = 0;
    for (int row = 0; row < rows.Rows(); ++row) {
      highest = std::max(highest, rows.Int(row, 0).value_or(0));
    }
    return Record(connection_->Exec(
        "SELECT setval($1::regclass, $2) WHERE $2 > coalesce(pg_sequence_last_value($1::regclass), "
        "0)",
        {Param::Text(sequence), Param::Int(highest)}));
  }

  std::unique_ptr<pg::Connection> connection_;
  TextMap<std::shared_ptr<const Translation>> translations_;
  TextMap<std::string> prepared_;  // by text and parameter types
  std::uint64_t preparedCount_ = 0;
  std::int64_t lastInsertId_ = 0, changes_ = 0;
  StoreFailure failure_ = StoreFailure::kNone;
  std::string error_;
};

bool PgStoreStatement::Step() {
  if (!ran_) {
    ran_ = true;
    failed_ = !db_.Run(*translation_, params_, bindError_, &result_);
    rows_ = failed_ || translation_->returnsNid ? 0 : result_.Rows();
  }
  if (row_ + 1 >= rows_) {
    row_ = rows_;
    return false;
  }
  ++row_;
  return true;
}

}  // namespace

std::unique_ptr<StoreDb> OpenPgStoreDb(const std::string& location, std::string* error) {
  std::unique_ptr<pg::Connection> connection = pg::Connection::Open(location, error);
  if (!connection) return nullptr;
  // Bare table names reach both schemas; reals come back exactly; backslashes in literals
  // are characters, as the placeholder translation assumes; a writer waits for another one
  // no longer than on SQLite.
  const pg::Result settings = connection->ExecScript(
      "SET search_path = public, " + connection->QuoteIdentifier(kPgPrivateSchema) +
      "; SET client_min_messages = warning; SET extra_float_digits = 1;"
      " SET standard_conforming_strings = on; " +
      LockTimeout(kStoreWait));
  if (!settings.ok()) {
    if (error) *error = "cannot set up the store's connection: " + settings.message();
    return nullptr;
  }
  return std::make_unique<PgStoreDb>(std::move(connection));
}

}  // namespace hrzsrv
