#include "statement_cache.h"

#include <atomic>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace hrzsrv {
namespace {

// Statements kept per connection; beyond this the cache starts again, so that statements
// whose text holds values cannot make it grow without end.
constexpr std::size_t kMaxCached = 256;

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

// Used by one thread at a time, as its connection is.
class StatementCache {
 public:
  ~StatementCache() { Clear(); }

  sqlite3_stmt* Take(std::string_view sql) {
    const auto found = free_.find(sql);
    if (found == free_.end() || found->second.empty()) return nullptr;
    sqlite3_stmt* stmt = found->second.back();
    found->second.pop_back();
    --count_;
    return stmt;
  }

  void Give(sqlite3_stmt* stmt) {
    if (count_ >= kMaxCached) Clear();
    const char* sql = sqlite3_sql(stmt);
    auto found = free_.find(std::string_view(sql));
    if (found == free_.end()) found = free_.emplace(sql, std::vector<sqlite3_stmt*>{}).first;
    found->second.push_back(stmt);
    ++count_;
  }

  void Clear() {
    for (auto& [sql, statements] : free_) {
      for (sqlite3_stmt* stmt : statements) sqlite3_finalize(stmt);
    }
    free_.clear();
    count_ = 0;
  }

 private:
  std::unordered_map<std::string, std::vector<sqlite3_stmt*>, TextHash, std::equal_to<>> free_;
  std::size_t count_ = 0;
};

// The caches by connection. A thread remembers the last one it looked up; a connection
// closing anywhere makes every thread look again, so an address reused by a new connection
// never finds the old one's cache.
std::mutex g_mutex;
std::unordered_map<sqlite3*, StatementCache*> g_caches;  // guarded by g_mutex
std::atomic<std::uint64_t> g_closed{0};

struct LastLookup {
  sqlite3* db = nullptr;
  StatementCache* cache = nullptr;
  std::uint64_t closed = 0;
};
thread_local LastLookup t_last;

StatementCache* CacheOf(sqlite3* db) {
  const std::uint64_t closed = g_closed.load(std::memory_order_acquire);
  if (t_last.db == db && t_last.closed == closed) return t_last.cache;
  StatementCache* cache = nullptr;
  {
    std::lock_guard lock(g_mutex);
    const auto found = g_caches.find(db);
    if (found != g_caches.end()) cache = found->second;
  }
  t_last = {db, cache, closed};
  return cache;
}

}  // namespace

void AddStatementCache(sqlite3* db) {
  std::lock_guard lock(g_mutex);
  g_caches.emplace(db, new StatementCache);
}

void CloseWithCache(sqlite3* db) {
  StatementCache* cache = nullptr;
  {
    std::lock_guard lock(g_mutex);
    const auto found = g_caches.find(db);
    if (found != g_caches.end()) {
      cache = found->second;
      g_caches.erase(found);
    }
    g_closed.fetch_add(1, std::memory_order_release);
  }
  delete cache;
  sqlite3_close_v2(db);
}

sqlite3_stmt* TakeStatement(sqlite3* db, std::string_view sql) {
  StatementCache* cache = CacheOf(db);
  if (cache != nullptr) {
    if (sqlite3_stmt* stmt = cache->Take(sql)) return stmt;
  }
  sqlite3_stmt* stmt = nullptr;
  const unsigned flags = cache != nullptr ? SQLITE_PREPARE_PERSISTENT : 0;
  if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), flags, &stmt, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return stmt;
}

void GiveBackStatement(sqlite3* db, sqlite3_stmt* stmt) {
  if (stmt == nullptr) return;
  StatementCache* cache = CacheOf(db);
  if (cache == nullptr) {
    sqlite3_finalize(stmt);
    return;
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  cache->Give(stmt);
}

}  // namespace hrzsrv
