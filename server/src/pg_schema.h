// The store's schema on PostgreSQL: the organisation tables in "public", the server's private
// tables in their own schema, and the roles that client SQL runs under.
#pragma once

#include <string>

#include "hrzserver/pg_db.h"

namespace hrzsrv {

// Creates the extension, the schemas and every table, empty; the rules come after the rows.
bool CreatePgTables(pg::Connection& db, std::string* error);

// Adds the private tables that came later to a store made by an earlier version.
bool AddPgLaterTables(pg::Connection& db, std::string* error);

// Installs the organisation's link rules and the client roles with their grants. Rules are
// not checked against rows already there, as on an upgraded SQLite store.
bool InstallPgRules(pg::Connection& db, std::string* error);

}  // namespace hrzsrv
