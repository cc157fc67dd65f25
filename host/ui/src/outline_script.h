// Outline scripts: one item per line, "level, keyword, argument, ...", where the level is a
// dotted number ("1", "1.1", "1.1.1") that places the item below the last item one level up.
// Record layouts, grid configurations and layout scripts handed to XRecObjCtrl use it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace hrz::ui {

struct OutlineItem {
  int depth = 0;                  // number of parts of the level number
  std::string keyword;            // lower case, blanks between words kept ("top bottom")
  std::vector<std::string> args;  // trimmed
  std::vector<OutlineItem> children;

  // The first child with this keyword, or null.
  const OutlineItem* Child(std::string_view keyword) const;
  // The first argument of that child, or fallback.
  std::string ChildArg(std::string_view keyword, std::string_view fallback = {}) const;
};

struct OutlineParseResult {
  std::vector<OutlineItem> items;  // the top-level items
  int errorLine = 0;               // 1-based line of the first error, 0 when none
  std::string error;
};

// Lines end with "\n" or "\r\n"; blank lines and lines starting with "#" are skipped.
// The keywords "value" and "label" take the rest of their line as one argument, commas
// included, since they carry display texts.
OutlineParseResult ParseOutline(std::string_view script);

}  // namespace hrz::ui
