// The store's schema, its creation and the pieces every session reads from it.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "crypto.h"
#include "hrzserver/tls_identity.h"
#include "sqlite_db.h"

namespace hrzsrv {

// The client folder reported to clients; a download names "<folder>\<file>".
constexpr std::string_view kClientFolder = "\\\\hrzserver\\client";
// Files kept for clients are stored under this prefix.
constexpr std::string_view kClientFilePrefix = "client/";
constexpr int kAdminNid = 1;
constexpr int kRootNid = 2;

// Creates every table and the administrator with its hashed password.
bool CreateSchema(sqlite3* db, const std::string& adminHash, std::string* error);
// Adds the tables that stores of earlier versions lack.
bool AddLaterTables(sqlite3* db, std::string* error);
bool LoadKeypair(sqlite3* db, PublicKey* pk, SecretKey* sk);
// The store's TLS identity; made and kept in the store when it has none.
bool EnsureTlsIdentity(sqlite3* db, TlsIdentity* out, std::string* error);

// Allows client SQL to read and change the organisation tables only: private tables
// (prefix "SRV_"), the schema, pragmas, attach and schema changes are refused.
void InstallClientAuthorizer(sqlite3* db, const bool* clientSqlActive);

bool IsAdminCode(std::string_view code);

}  // namespace hrzsrv
