// The store kept in an SQLite file.
#pragma once

#include <memory>
#include <string>

#include "store_db.h"

namespace hrzsrv {

// Opens (or, with create, makes) the store file at path in WAL mode, syncing every commit,
// with foreign keys and recursive triggers on and the file mapped for reads. A connection
// waits for another's write lock up to a busy time-out, and keeps the statements it has
// prepared for the next use of the same text. Null (and error) when it cannot be opened.
std::unique_ptr<StoreDb> OpenSqliteStoreDb(const std::string& path, bool create,
                                           std::string* error);

// Why an SQLite call failed with that extended result code, for the client SQL that runs on
// the connection directly.
StoreFailure SqliteFailureOf(int code);

}  // namespace hrzsrv
