// Reads arbitrary bytes as the payload of a query reply, the way the database client's
// record sets do. Whatever is accepted has one cell per column in each row, and writing it
// again gives the same bytes: the reader takes nothing but the writer's format.
#include <cstdint>
#include <string>
#include <string_view>

#include "hrzcommon/result_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Copied so that reading one byte too far is caught by the sanitizer.
  const std::string payload(reinterpret_cast<const char*>(data), size);
  hrz::wire::ResultSet set;
  if (!hrz::wire::DecodeResultSet(payload, &set)) return 0;
  hrz::wire::ResultSetWriter writer;
  for (const std::string& name : set.names) writer.AddColumn(name);
  if (set.cells.size() != set.RowCount() * set.names.size()) __builtin_trap();
  for (std::size_t row = 0; row < set.RowCount(); ++row) {
    for (std::size_t column = 0; column < set.names.size(); ++column) {
      const hrz::wire::ResultCell& cell = set.Cell(row, column);
      if (cell.type > hrz::protocol::kCellBlob) __builtin_trap();
      writer.AddCell(cell.type, set.Text(cell));
    }
    writer.EndRow();
  }
  if (writer.Finish() != payload) __builtin_trap();
  return 0;
}
