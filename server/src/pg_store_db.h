// The store's connection on PostgreSQL: the engine's statements, written for both stores,
// run as server-side prepared statements on one libpq connection.
#pragma once

#include <memory>
#include <string>

#include "store_db.h"

namespace hrzsrv {

// Connects to the store in the database at location (postgresql://...), whose schema
// hrzserver migrate made. Null with the reason in error.
std::unique_ptr<StoreDb> OpenPgStoreDb(const std::string& location, std::string* error);

}  // namespace hrzsrv
