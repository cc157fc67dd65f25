#include "statement_cache.h"

namespace hrzsrv {
namespace {

// Statements kept per connection; beyond this the cache starts again, so that statements
// whose text holds values cannot make it grow without end.
constexpr std::size_t kMaxCached = 256;

}  // namespace

StatementCache::~StatementCache() {
  Clear();
}

sqlite3_stmt* StatementCache::Take(std::string_view sql) {
  const auto found = free_.find(sql);
  if (found != free_.end() && !found->second.empty()) {
    sqlite3_stmt* stmt = found->second.back();
    found->second.pop_back();
    --count_;
    return stmt;
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  return stmt;
}

void StatementCache::GiveBack(sqlite3_stmt* stmt) {
  if (stmt == nullptr) return;
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (count_ >= kMaxCached) Clear();
  const char* sql = sqlite3_sql(stmt);
  auto found = free_.find(std::string_view(sql));
  if (found == free_.end()) found = free_.emplace(sql, std::vector<sqlite3_stmt*>{}).first;
  found->second.push_back(stmt);
  ++count_;
}

void StatementCache::Clear() {
  for (auto& [sql, statements] : free_) {
    for (sqlite3_stmt* stmt : statements) sqlite3_finalize(stmt);
  }
  free_.clear();
  count_ = 0;
}

}  // namespace hrzsrv
