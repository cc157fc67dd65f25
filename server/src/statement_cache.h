// Prepared statements of the engine's own SQL kept per store connection, keyed by their
// text, so that hot requests do not prepare the same statements afresh each time. Only
// connections opened by OpenSqlite have a cache.
#pragma once

#include <sqlite3.h>

#include <string_view>

namespace hrzsrv {

// Gives db a cache; from then on it must be closed through CloseWithCache.
void AddStatementCache(sqlite3* db);
// Finalizes what db's cache holds, forgets the cache and closes db.
void CloseWithCache(sqlite3* db);

// A prepared statement of sql on db: a cached one, reset and without bindings, when one is
// free; else newly prepared. Null when sql does not prepare.
sqlite3_stmt* TakeStatement(sqlite3* db, std::string_view sql);
// Hands stmt back: reset, its bindings cleared and kept for the next Take of its text when
// db has a cache; finalized otherwise.
void GiveBackStatement(sqlite3* db, sqlite3_stmt* stmt);

}  // namespace hrzsrv
