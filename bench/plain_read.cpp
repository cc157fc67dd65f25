#include "plain_read.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

namespace hrzbench {

long long PlainRead(sqlite3* db, const char* sql, int bindNid) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) return -1;
  if (bindNid >= 0) sqlite3_bind_int(stmt, 1, bindNid);
  long long rows = 0;
  const int cols = sqlite3_column_count(stmt);
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < cols; ++c) benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
    ++rows;
  }
  sqlite3_finalize(stmt);
  return rows;
}

}  // namespace hrzbench
