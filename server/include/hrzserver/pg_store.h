// A store on PostgreSQL: its private schema, the client roles, and the copy of an organisation
// from an SQLite store (docs/postgresql.md).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace hrzsrv {

// The schema of the server's private tables, which client SQL cannot reach.
constexpr std::string_view kPgPrivateSchema = "hrz_private";
// Client SQL logs on as one of two roles of its database, named with the database's number in
// the cluster: one for the administrator's sessions, one for every other session. Both reach
// the organisation tables only, where triggers check each write against the session's rights;
// neither reaches the private schema.
constexpr std::string_view kPgClientRolePrefix = "hrz_client_";
constexpr std::string_view kPgAdminClientRolePrefix = "hrz_client_admin_";

// Told after each batch of rows copied: the table, rows copied so far, rows in the table.
using CopyProgress =
    std::function<void(std::string_view table, std::int64_t copied, std::int64_t total)>;

// Copies the organisation of the SQLite store at from into the empty PostgreSQL database at
// to (a postgresql:// location), in one transaction: schema, rules and roles, every row
// (password hashes, privilege strings, files, keys and audit log included; live sessions
// excepted) and the numbering, so that a new record takes the next NID above the highest.
// Refuses a target that holds a store or any table already; on failure nothing is left.
bool MigrateToPostgres(const std::string& from, const std::string& to, const CopyProgress& progress,
                       std::string* error);

}  // namespace hrzsrv
