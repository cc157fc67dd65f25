// What client SQL may not say on PostgreSQL, decided from its words before it is sent: the
// statements and functions a client role could otherwise run that SQLite's authorizer refuses
// (transactions, session settings, notifications, copies, code blocks, the server's catalogue,
// files and numbering), and more than one statement in one text.
#pragma once

#include <string>
#include <string_view>

namespace hrzsrv {

struct PgClientSqlCheck {
  std::string refusal;   // empty: the text may run
  bool audited = false;  // a refusal of rights, which the audit log keeps as SQLite's are
};

PgClientSqlCheck CheckPgClientSql(std::string_view sql);

}  // namespace hrzsrv
