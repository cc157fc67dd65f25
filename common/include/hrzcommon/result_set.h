// The result of a query as it travels in the long value of a query reply: u32 column
// count; per column its name (u32 length, bytes); u32 row count; per cell a type byte,
// u32 length and the cell as text (a blob's bytes). Numbers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hrzcommon/protocol.h"

namespace hrz::wire {

// A cell of a read payload: its type and where its text (a blob's bytes) lies in it.
struct ResultCell {
  protocol::CellType type = protocol::kCellNull;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

// A read payload, kept whole: each cell is found once and read in place, so a large result
// costs no string per cell.
struct ResultSet {
  std::string payload;
  std::vector<std::string> names;
  std::vector<ResultCell> cells;  // row by row, one cell per name in each row

  std::size_t RowCount() const { return names.empty() ? 0 : cells.size() / names.size(); }
  const ResultCell& Cell(std::size_t row, std::size_t column) const {
    return cells[row * names.size() + column];
  }
  std::string_view Text(const ResultCell& cell) const {
    return std::string_view(payload).substr(cell.offset, cell.size);
  }
};

// Builds a payload as a statement yields it: every column first, then the cells row by row,
// each row closed by EndRow.
class ResultSetWriter {
 public:
  void AddColumn(std::string_view name);
  void AddCell(protocol::CellType type, std::string_view text);
  void EndRow();
  // Bytes of the rows so far, for a caller that bounds the result.
  std::size_t RowBytes() const { return rows_.size(); }
  std::string Finish() const;

 private:
  std::string names_;
  std::uint32_t columns_ = 0;
  std::string rows_;
  std::uint32_t rowCount_ = 0;
};

// Reads a payload, which out keeps. False on anything short, out of bounds, of an unknown
// cell type or followed by more bytes; out is then not to be used.
bool DecodeResultSet(std::string payload, ResultSet* out);

}  // namespace hrz::wire
