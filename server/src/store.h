// The store's schema, its creation and the pieces every session reads from it.
#pragma once

#include <string>
#include <string_view>

#include "crypto.h"
#include "hrzserver/tls_identity.h"
#include "store_db.h"

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

// "NSTAT" of a deleted user and of every other record; a deleted user's code carries the
// marker (docs/protocol.md, "Deleted users").
constexpr int kDeletedState = 254;
constexpr int kNormalState = 255;
constexpr std::string_view kDeletedMarker = "[del]";

// Creates every table of a new SQLite store and the administrator with its hashed password. A
// record added to "UUSR" without an NID takes the next one above kLastSystemNid.
bool CreateSchema(StoreDb& db, const std::string& adminHash, std::string* error);
// Adds the tables that stores of earlier versions lack.
bool AddLaterTables(StoreDb& db, std::string* error);
bool LoadKeypair(StoreDb& db, PublicKey* pk, SecretKey* sk);
// The store's TLS identity; made and kept in the store when it has none.
bool EnsureTlsIdentity(StoreDb& db, TlsIdentity* out, std::string* error);

// Brings an SQLite store made by an earlier version up to the current schema.
bool UpgradeSchema(StoreDb& db, std::string* error);

// The administrator's code: "adm" in any case, with any blanks and tabs around it (the module
// trims codes before it compares them). Only the administrator's record may hold it.
bool IsAdminCode(std::string_view code);

}  // namespace hrzsrv
