// Resource files of outline lines, such as the kernel policy: each line is an outline mark,
// ",", then a name and a value separated by the first unescaped ",":
//
//   //TEXT                              "//" starts a comment, anywhere on a line
//   1, Kernel                           depth 0: opens the section "Kernel"
//   1.1, Kernel Name, Secure kernel     depth 1: an entry of the section opened last
//   1.1.1, ignored, deeper lines are ignored
//
// A line's depth is the depth of the line before it plus the difference of the numbers of
// "." in their marks, kept within 0 to 255; the first line has depth 0. A line nests under
// the nearest line before it of smaller depth, so a step of several levels nests one level.
// Lines end with LF (a CR before it is trimmed away); lines that are blank or whose mark is
// empty are passed over. A line without "," after its mark, or whose name is empty, is
// ignored together with the lines nested under it. In name and value, "\\" stands for "\",
// "\n" for CR LF, and a "\" before any other character stays (a "\," does not separate);
// both are then trimmed of blanks and tabs.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace hrz {

struct ResOutlineLine {
  enum Kind { kSection, kEntry, kIgnored };
  Kind kind = kIgnored;  // an entry belongs to the section reported last
  int depth = 0;
  std::string name;  // empty for ignored lines
  std::string value;
  std::string_view mark;  // trimmed, within the text
  std::size_t begin = 0;  // the line's bytes in the text, its line end excluded
  std::size_t end = 0;
};

// Calls onLine for every line that is not passed over, in file order.
void ForEachResOutlineLine(std::string_view text,
                           const std::function<void(const ResOutlineLine&)>& onLine);

}  // namespace hrz
