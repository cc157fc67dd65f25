// Prepared statements of the engine's own SQL kept per store connection, keyed by their
// text, so that hot requests do not prepare the same statements afresh each time.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace hrzsrv {

// Belongs to one connection and is used by one thread at a time, as its connection is.
class StatementCache {
 public:
  explicit StatementCache(sqlite3* db) : db_(db) {}
  // Finalizes what the cache holds; before its connection closes.
  ~StatementCache();
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // A prepared statement of sql: a cached one, reset and without bindings, when one is free;
  // else newly prepared. Null when sql does not prepare.
  sqlite3_stmt* Take(std::string_view sql);
  // Hands stmt back, reset and its bindings cleared, for the next Take of its text.
  void GiveBack(sqlite3_stmt* stmt);

 private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  void Clear();

  sqlite3* db_;
  std::unordered_map<std::string, std::vector<sqlite3_stmt*>, TextHash, std::equal_to<>> free_;
  std::size_t count_ = 0;
};

}  // namespace hrzsrv
