// The engine's statements and write transactions on its store connection, whichever kind of
// store it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "store_db.h"

namespace hrzsrv {

// One prepared statement; binds are 1-based, columns 0-based. A text that does not prepare
// gives a statement that has no rows and is never done.
class Statement {
 public:
  Statement(StoreDb& db, std::string_view sql) : stmt_(db.Prepare(sql)) {}

  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int index, std::int64_t value) {
    if (stmt_) stmt_->BindInt(index, value);
    return *this;
  }
  Statement& Bind(int index, double value) {
    if (stmt_) stmt_->BindReal(index, value);
    return *this;
  }
  Statement& Bind(int index, std::string_view text) {
    if (stmt_) stmt_->BindText(index, text);
    return *this;
  }
  Statement& BindBlob(int index, const void* data, std::size_t size) {
    if (stmt_) stmt_->BindBlob(index, std::string_view(static_cast<const char*>(data), size));
    return *this;
  }
  Statement& BindNull(int index) {
    if (stmt_) stmt_->BindNull(index);
    return *this;
  }
  // True while a row is available.
  bool Row() { return stmt_ && stmt_->Step(); }
  // True when the statement cannot run or its last step failed rather than ended.
  bool Failed() const { return !stmt_ || stmt_->Failed(); }
  // True when the statement ran to completion.
  bool Done() {
    if (!stmt_) return false;
    while (stmt_->Step()) {
    }
    return !stmt_->Failed();
  }
  std::int64_t Int(int column) const { return stmt_->Int(column); }
  double Real(int column) const { return stmt_->Real(column); }
  bool IsNull(int column) const { return stmt_->IsNull(column); }
  std::string Text(int column) const { return stmt_->Text(column); }
  std::string Blob(int column) const { return stmt_->Blob(column); }
  Cell CellAt(int column) const { return stmt_->CellAt(column); }

 private:
  std::unique_ptr<StoreStatement> stmt_;
};

// A write transaction; rolls back unless Commit() succeeded.
class Transaction {
 public:
  explicit Transaction(StoreDb& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  bool ok() const { return begun_; }
  bool Commit();

 private:
  StoreDb& db_;
  bool begun_;
  bool committed_ = false;
};

}  // namespace hrzsrv
