// A copy of a live SQLite store, taken while servers keep reading and writing it.
#pragma once

#include <string>

namespace hrzsrv {

// Copies the store at storePath to the new file target: one consistent state of the store,
// checked with "PRAGMA integrity_check", readable by the owner only (it holds password
// hashes and the server's private key). Refuses a target that exists or is the store, and a
// PostgreSQL location (pg_dump copies those); false with the reason in error, and no target
// left behind.
bool BackupStore(const std::string& storePath, const std::string& target, std::string* error);

}  // namespace hrzsrv
