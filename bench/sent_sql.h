// The SQL a client really sends, taken from the requests a proxy kept, and replayed straight
// on SQLite as the floor of the same reads.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "support/fake_server.h"

struct sqlite3;

namespace hrzbench {

// The statements of the query requests among frames[from, to).
std::vector<std::string> QueriesIn(const std::vector<hrztest::Frame>& frames, std::size_t from,
                                   std::size_t to);

// Every statement stepped straight through SQLite; the rows read. Aborts when one does not
// prepare.
long long Replay(sqlite3* db, const std::vector<std::string>& statements);

}  // namespace hrzbench
