// A write of the server's own to the organisation's rows, with the rights changes it makes
// noted for the audit log. The rows it may touch are read before and after it and compared,
// which works alike on every kind of store.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "store_db.h"
#include "write_rules.h"

namespace hrzsrv {

// Runs write, which touches only rows of table whose column holds value, and appends the
// rights changes of those rows to notes. False when write or a read fails; the store's
// LastFailure() says why.
bool NotedWrite(StoreDb& db, std::string_view table, std::string_view column, std::int64_t value,
                const std::function<bool()>& write, std::vector<RightsNote>* notes);

}  // namespace hrzsrv
