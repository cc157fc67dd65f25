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
// NIDs 1 to kLastSystemNid belong to the organisation's system records, the administrator
// and the root; every other record of "UUSR" gets one above (the department IP action
// leaves the system records alone).
constexpr int kAdminNid = 1;
constexpr int kRootNid = 2;
constexpr int kLastSystemNid = 300;

// Creates every table and the administrator with its hashed password. A record added to
// "UUSR" without an NID takes the next one above kLastSystemNid.
bool CreateSchema(sqlite3* db, const std::string& adminHash, std::string* error);
// Adds the tables that stores of earlier versions lack.
bool AddLaterTables(sqlite3* db, std::string* error);
bool LoadKeypair(sqlite3* db, PublicKey* pk, SecretKey* sk);
// The store's TLS identity; made and kept in the store when it has none.
bool EnsureTlsIdentity(sqlite3* db, TlsIdentity* out, std::string* error);

// Brings a store made by an earlier version up to the current schema.
bool UpgradeSchema(sqlite3* db, std::string* error);

// The administrator's code: "adm" in any case, with any blanks and tabs around it (the module
// trims codes before it compares them). Only the administrator's record may hold it.
bool IsAdminCode(std::string_view code);

}  // namespace hrzsrv
