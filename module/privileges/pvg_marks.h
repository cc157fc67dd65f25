// Privilege strings: one mark per catalogue position, counted from 1 ("M" modify, "V" view,
// anything else no right), built from the editor's rows and compared with the string a node
// was loaded with. The grantor of each mark travels beside the string.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hrz {

// The last position a string holds; a mark further on cannot be stored.
constexpr int kMarkPositionsMax = 511;

// The right at position as "M", "V" or "X" (none): case is ignored, and a position below 1
// or beyond the end holds none.
char MarkAt(std::string_view marks, int position);

// The catalogue position a "NFNCHR" cell names: its whole number, or 0 when it holds none or
// one below 1.
int PositionOfCell(std::string_view text);

// One catalogue row of the editor as a save sees it.
struct RowMarks {
  std::string code;   // "CCODE", to name the row when its mark cannot be stored
  int position = 0;   // PositionOfCell of its "NFNCHR"
  bool view = false;  // the node's own marks
  bool modify = false;
  std::string grantor;  // the "CREATOR" code; empty when none is known
};

struct BuiltMarks {
  std::string marks;                  // no trailing "X": a node without rights has ""
  std::vector<std::string> grantors;  // one code per character of marks, "" for none
  std::string unplacedCode;           // the first marked row without a storable position
};

// Fills built from rows: "M" where the modify mark is set, else "V" where the view mark is.
// False when a marked row has no position from 1 to kMarkPositionsMax; unplacedCode then
// names it, since saving without that mark would lose it unnoticed.
bool BuildMarks(const std::vector<RowMarks>& rows, BuiltMarks* built);

// True when the two strings give a different right at some position.
bool MarksDiffer(std::string_view loaded, std::string_view built);

}  // namespace hrz
