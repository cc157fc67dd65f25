#include "sent_sql.h"

#include <cstdlib>

#include "hrzcommon/protocol.h"
#include "hrzcommon/wire.h"
#include "plain_read.h"

namespace hrzbench {

namespace p = hrz::protocol;

std::vector<std::string> QueriesIn(const std::vector<hrztest::Frame>& frames, std::size_t from,
                                   std::size_t to) {
  std::vector<std::string> sql;
  for (std::size_t i = from; i < to && i < frames.size(); ++i) {
    const hrztest::Frame& f = frames[i];
    if (f.cls() != p::kQuery.cls || f.group() != p::kQuery.group || f.code() != p::kQuery.code) {
      continue;
    }
    hrz::wire::BodyReader fields(f.body);
    std::string text;
    if (fields.NextLong(&text, f.body.size())) sql.push_back(text);
  }
  return sql;
}

long long Replay(sqlite3* db, const std::vector<std::string>& statements) {
  long long rows = 0;
  for (const std::string& sql : statements) {
    const long long read = PlainRead(db, sql.c_str());
    if (read < 0) std::abort();
    rows += read;
  }
  return rows;
}

}  // namespace hrzbench
