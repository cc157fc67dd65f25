// A store on PostgreSQL. Today an organisation is copied there from an SQLite store; the
// engine serving it comes next (docs/postgresql.md).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace hrzsrv {

// The schema of the server's private tables, which client SQL cannot reach.
constexpr std::string_view kPgPrivateSchema = "hrz_private";
// Client SQL of a session other than the administrator's: reads the organisation tables and
// updates only the columns some session may change. The administrator's client SQL: also
// inserts and deletes. Neither reaches the private schema.
constexpr std::string_view kPgClientRole = "hrz_client";
constexpr std::string_view kPgAdminClientRole = "hrz_client_admin";

// Why a command or the engine refuses a postgresql:// store today.
constexpr const char* kPgNotServedYet =
    "a store on PostgreSQL is not served yet: this version runs on SQLite stores only "
    "(hrzserver migrate copies one to PostgreSQL)";

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
