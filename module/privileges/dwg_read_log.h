// The host's log of the drawing global read right ("PDUNIREAD"): every save that grants,
// withdraws or changes it writes one entry.
#pragma once

#include <string>
#include <string_view>

struct tagXCliDB;

namespace hrz {

class DwgReadLog {
 public:
  // After a save of nid from oldMarks to newMarks: one entry "ASGNDWGPVG" when the right's
  // mark changed, value "2" for a view or modify right now held, "0" for none. The
  // catalogue entry is looked up on the first call only; without one nothing is written.
  void NoteSave(tagXCliDB* db, int nid, std::string_view oldMarks, std::string_view newMarks);

 private:
  int position_ = -1;  // -1 not looked up yet, 0 no such entry
  std::string name_;
};

}  // namespace hrz
