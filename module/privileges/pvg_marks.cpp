#include "privileges/pvg_marks.h"

#include <algorithm>

#include "hrzcommon/text.h"

namespace hrz {

char MarkAt(std::string_view marks, int position) {
  if (position < 1 || static_cast<std::size_t>(position) > marks.size()) return 'X';
  const char mark = UpperAscii(marks[position - 1]);
  return mark == 'M' || mark == 'V' ? mark : 'X';
}

int PositionOfCell(std::string_view text) {
  long long value = 0;
  if (!ParseWholeNumber(text, &value) || value < 1) return 0;
  return value > kMarkPositionsMax ? kMarkPositionsMax + 1 : static_cast<int>(value);
}

bool BuildMarks(const std::vector<RowMarks>& rows, BuiltMarks* built) {
  std::string marks(kMarkPositionsMax, 'X');
  std::vector<std::string> grantors(kMarkPositionsMax);
  built->unplacedCode.clear();
  for (const RowMarks& row : rows) {
    if (!row.modify && !row.view) continue;
    if (row.position < 1 || row.position > kMarkPositionsMax) {
      built->unplacedCode = row.code;
      return false;
    }
    marks[row.position - 1] = row.modify ? 'M' : 'V';
    grantors[row.position - 1] = row.grantor;
  }
  const std::size_t length = marks.find_last_not_of('X') + 1;  // npos + 1 is 0
  marks.resize(length);
  grantors.resize(length);
  built->marks = std::move(marks);
  built->grantors = std::move(grantors);
  return true;
}

bool MarksDiffer(std::string_view loaded, std::string_view built) {
  const int longer = static_cast<int>(std::max(loaded.size(), built.size()));
  for (int position = 1; position <= longer; ++position) {
    if (MarkAt(loaded, position) != MarkAt(built, position)) return true;
  }
  return false;
}

}  // namespace hrz
