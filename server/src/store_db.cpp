#include "store_db.h"

#include "hrzserver/pg_db.h"
#include "pg_store_db.h"
#include "sqlite_store_db.h"

namespace hrzsrv {

std::unique_ptr<StoreDb> OpenStoreDb(const std::string& location, bool create, std::string* error) {
  if (pg::IsPostgresLocation(location)) return OpenPgStoreDb(location, error);
  return OpenSqliteStoreDb(location, create, error);
}

}  // namespace hrzsrv
