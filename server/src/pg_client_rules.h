// The database side of client SQL on PostgreSQL: the two login roles of this database, the
// private tables that carry a session's rights and the rights changes of its statements, and
// the triggers that check every statement and row a client role writes against the same
// rules as the SQLite store's authorizer and hook (docs/postgresql.md).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "hrzserver/pg_db.h"

namespace hrzsrv {

// The private tables of client SQL, in the private schema.
constexpr std::string_view kPgClientLoginTable = "SRV_CLIENT_LOGIN";      // role, password
constexpr std::string_view kPgClientSessionTable = "SRV_CLIENT_SESSION";  // rights per backend
constexpr std::string_view kPgClientNoteTable = "SRV_CLIENT_NOTE";        // rows that move rights

// Makes (or takes over) the two client roles of this database with a new random password
// each, grants them the organisation tables, and installs the rights triggers on them.
bool InstallPgClientRules(pg::Connection& db, std::span<const std::string_view> organisationTables,
                          std::string* error);

}  // namespace hrzsrv
