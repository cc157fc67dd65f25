// The engine's statement texts made ready for PostgreSQL: values bound to "?" or "?N" become
// "$N", and an INSERT is recognised so the store can learn the NID of the row it writes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hrzsrv {

struct PgStatementText {
  std::string text;    // placeholders as $1, $2, ...; everything else as written
  int parameters = 0;  // the highest placeholder number
  // A statement "INSERT INTO table ...": the table as written (empty for any other
  // statement), whether the rows bring their own NID (a column list naming NID, or none at
  // all), and whether the statement returns rows of its own (RETURNING).
  std::string insertTable;
  bool insertOwnNid = false;
  bool returning = false;
  std::size_t end = 0;  // where the last token before trailing comments and ";" ends in text
};

// Translates sql. Placeholders inside string literals, quoted names and comments stay as
// they are. False with the reason for an unterminated quote or comment, a "?0" or one above
// 65535, and a text that mixes "?" with "?N".
bool TranslateForPostgres(std::string_view sql, PgStatementText* out, std::string* error);

}  // namespace hrzsrv
