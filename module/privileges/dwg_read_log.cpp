#include "privileges/dwg_read_log.h"

#include "hrzcommon/text.h"
#include "privileges/pvg_marks.h"
#include "xclidb.h"

namespace hrz {
namespace {

constexpr int kNameCapacity = 256;

}  // namespace

void DwgReadLog::NoteSave(tagXCliDB* db, int nid, std::string_view oldMarks,
                          std::string_view newMarks) {
  if (position_ < 0) {
    position_ = 0;
    XCliGenRS rs(db);
    if (rs.Open(1, "select NFNCHR, CNAME from UUSRFN where CCODE = 'PDUNIREAD'") && !rs.IsEOF()) {
      char text[kNameCapacity] = {};
      if (rs.GetFieldValue(0, XCLI_TYPE_TEXT, text, kNameCapacity)) {
        position_ = PositionOfCell(text);
      }
      text[0] = '\0';
      rs.GetFieldValue(1, XCLI_TYPE_TEXT, text, kNameCapacity);
      name_ = TrimBlanks(text);
      if (name_.empty()) name_ = "Dwg Global Read";
    }
  }
  if (position_ < 1) return;
  const char before = MarkAt(oldMarks, position_);
  const char after = MarkAt(newMarks, position_);
  if (before == after) return;
  XCliPutLog(db, 0, 0, 0, "ASGNDWGPVG", "UUSR", nid, after == 'X' ? "0" : "2", name_.c_str());
}

}  // namespace hrz
