#include "statement.h"

namespace hrzsrv {

Transaction::Transaction(StoreDb& db) : db_(db), begun_(db.BeginWrite()) {}

Transaction::~Transaction() {
  if (begun_ && !committed_) db_.Rollback();
}

bool Transaction::Commit() {
  if (!begun_ || committed_) return false;
  committed_ = db_.Commit();
  return committed_;
}

}  // namespace hrzsrv
