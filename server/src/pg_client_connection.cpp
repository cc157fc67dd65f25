#include "pg_client_connection.h"

#include <utility>

#include "pg_client_sql.h"

namespace hrzsrv {

PgClientConnection::PgClientConnection() = default;
PgClientConnection::~PgClientConnection() = default;

PgClientSql* PgClientConnection::Get(pg::Connection& owner, const std::string& location, bool admin,
                                     std::chrono::milliseconds limit, std::string* error) {
  {
    std::lock_guard lock(mutex_);
    if (client_ && admin_ == admin) return client_.get();
  }
  Close();
  // Opened outside the lock, so that a client going meanwhile does not wait on the connect.
  std::unique_ptr<PgClientSql> opened = PgClientSql::Open(owner, location, admin, limit, error);
  if (!opened) return nullptr;
  std::lock_guard lock(mutex_);
  if (gone_) opened->ClientGone();
  client_ = std::move(opened);
  admin_ = admin;
  return client_.get();
}

void PgClientConnection::Close() {
  std::unique_ptr<PgClientSql> closing;  // closed outside the lock, as it was opened
  {
    std::lock_guard lock(mutex_);
    closing = std::move(client_);
  }
}

void PgClientConnection::ClientGone() {
  std::lock_guard lock(mutex_);
  gone_ = true;
  if (client_) client_->ClientGone();
}

}  // namespace hrzsrv
