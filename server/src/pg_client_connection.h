// A session's connection for client SQL on a PostgreSQL store. It is opened on the session's
// first statement, as the client role of the session's user (the administrator's or the
// other), and closed with the session's store connection, so a logoff or a logon as someone
// else never leaves a connection of the previous user's role behind.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace hrzsrv {

class PgClientSql;
namespace pg {
class Connection;
}

class PgClientConnection {
 public:
  PgClientConnection();
  ~PgClientConnection();
  PgClientConnection(const PgClientConnection&) = delete;
  PgClientConnection& operator=(const PgClientConnection&) = delete;

  // The connection of the administrator's role or the other one, opened on the database of
  // location when there is none of that role yet (one of the other role is closed first).
  // limit is the statements' time limit; owner the store connection. Null with the reason in
  // error when it cannot open.
  PgClientSql* Get(pg::Connection& owner, const std::string& location, bool admin,
                   std::chrono::milliseconds limit, std::string* error);
  // Closes the connection, if one is open.
  void Close();
  // The client has gone: the running statement stops and later ones are refused, also on a
  // connection opened after this. Safe from any thread.
  void ClientGone();

 private:
  std::mutex mutex_;  // guards client_ and gone_: ClientGone comes from another thread
  std::unique_ptr<PgClientSql> client_;
  bool admin_ = false;  // the role client_ logged on as
  bool gone_ = false;
};

}  // namespace hrzsrv
