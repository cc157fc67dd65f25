#include "hrzcommon/result_set.h"

#include <limits>
#include <utility>

#include "hrzcommon/wire.h"

namespace hrz::wire {
namespace {

void AppendU32(std::string* out, std::uint32_t value) {
  char bytes[4];
  WriteInt32(reinterpret_cast<std::uint8_t*>(bytes), static_cast<std::int32_t>(value));
  out->append(bytes, sizeof bytes);
}

void AppendText(std::string* out, std::string_view text) {
  AppendU32(out, static_cast<std::uint32_t>(text.size()));
  out->append(text);
}

// Consumes the payload from the front; false on anything short.
class PayloadReader {
 public:
  explicit PayloadReader(std::string_view data) : rest_(data) {}
  bool U32(std::uint32_t* value) {
    if (rest_.size() < 4) return false;
    *value =
        static_cast<std::uint32_t>(ReadInt32(reinterpret_cast<const std::uint8_t*>(rest_.data())));
    rest_.remove_prefix(4);
    return true;
  }
  // The next length-prefixed text, as a part of the payload.
  bool Text(std::string_view* text) {
    std::uint32_t length = 0;
    if (!U32(&length) || rest_.size() < length) return false;
    *text = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return true;
  }
  bool Byte(std::uint8_t* value) {
    if (rest_.empty()) return false;
    *value = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return true;
  }
  bool AtEnd() const { return rest_.empty(); }
  std::size_t Left() const { return rest_.size(); }

 private:
  std::string_view rest_;
};

}  // namespace

void ResultSetWriter::AddColumn(std::string_view name) {
  AppendText(&names_, name);
  ++columns_;
}

void ResultSetWriter::AddCell(protocol::CellType type, std::string_view text) {
  rows_.push_back(static_cast<char>(type));
  AppendText(&rows_, text);
}

void ResultSetWriter::EndRow() {
  ++rowCount_;
}

std::string ResultSetWriter::Finish() const {
  std::string payload;
  payload.reserve(8 + names_.size() + rows_.size());
  AppendU32(&payload, columns_);
  payload += names_;
  AppendU32(&payload, rowCount_);
  payload += rows_;
  return payload;
}

bool DecodeResultSet(std::string payload, ResultSet* out) {
  // Cells are found by 32-bit offsets.
  if (payload.size() > std::numeric_limits<std::uint32_t>::max()) return false;
  out->payload = std::move(payload);
  const std::string_view whole(out->payload);
  PayloadReader in(whole);
  std::uint32_t columns = 0, rows = 0;
  // Every name takes at least four bytes and every cell five, which bounds both counts
  // before anything is allocated; a result without columns has no rows.
  if (!in.U32(&columns) || columns > in.Left() / 4) return false;
  out->names.resize(columns);
  for (std::string& name : out->names) {
    std::string_view text;
    if (!in.Text(&text)) return false;
    name.assign(text);
  }
  if (!in.U32(&rows)) return false;
  if (columns == 0 ? rows != 0 : rows > in.Left() / (5ull * columns)) return false;
  out->cells.resize(std::size_t{rows} * columns);
  for (ResultCell& cell : out->cells) {
    std::uint8_t type = 0;
    std::string_view text;
    if (!in.Byte(&type) || type > protocol::kCellBlob || !in.Text(&text)) return false;
    cell.type = static_cast<protocol::CellType>(type);
    cell.offset = static_cast<std::uint32_t>(text.data() - whole.data());
    cell.size = static_cast<std::uint32_t>(text.size());
  }
  return in.AtEnd();
}

}  // namespace hrz::wire
