#include "store_db.h"

#include "hrzserver/pg_db.h"
#include "hrzserver/pg_store.h"
#include "sqlite_store_db.h"

namespace hrzsrv {

std::unique_ptr<StoreDb> OpenStoreDb(const std::string& location, bool create, std::string* error) {
  if (pg::IsPostgresLocation(location)) {
    if (error) *error = std::string(kPgNotServedYet);
    return nullptr;
  }
  return OpenSqliteStoreDb(location, create, error);
}

}  // namespace hrzsrv
