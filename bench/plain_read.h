// The floor of a read: a statement stepped straight through SQLite, every column of every
// row touched as text.
#pragma once

struct sqlite3;

namespace hrzbench {

// Rows read; -1 when the statement does not prepare. bindNid, when 0 or more, is bound to
// the statement's first parameter.
long long PlainRead(sqlite3* db, const char* sql, int bindNid = -1);

}  // namespace hrzbench
