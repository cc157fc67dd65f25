#include "outline_script.h"

#include <algorithm>
#include <cctype>

#include "hrzcommon/text.h"

namespace hrz::ui {

const OutlineItem* OutlineItem::Child(std::string_view name) const {
  for (const OutlineItem& child : children) {
    if (child.keyword == name) return &child;
  }
  return nullptr;
}

std::string OutlineItem::ChildArg(std::string_view name, std::string_view fallback) const {
  const OutlineItem* child = Child(name);
  if (child == nullptr || child->args.empty()) return std::string(fallback);
  return child->args.front();
}

namespace {

// Depth of a level number such as "1.2.1"; 0 when it is not one.
int LevelDepth(std::string_view level) {
  if (level.empty()) return 0;
  int depth = 1;
  bool digitSeen = false;
  for (char c : level) {
    if (c == '.') {
      if (!digitSeen) return 0;
      ++depth;
      digitSeen = false;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      digitSeen = true;
    } else {
      return 0;
    }
  }
  return digitSeen ? depth : 0;
}

bool TakesRestOfLine(std::string_view keyword) {
  return keyword == "value" || keyword == "label";
}

std::string LowerCollapsed(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(LowerAscii(c));
    }
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

OutlineParseResult ParseOutline(std::string_view script) {
  OutlineParseResult result;
  // The open item at each depth; a new item attaches to the one a level above it.
  std::vector<OutlineItem*> open;
  int lineNo = 0;
  size_t pos = 0;
  while (pos < script.size()) {
    size_t end = script.find('\n', pos);
    if (end == std::string_view::npos) end = script.size();
    std::string_view line = script.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = TrimBlanks(line);
    if (line.empty() || line.front() == '#') continue;

    auto fail = [&](const char* why) {
      result.errorLine = lineNo;
      result.error = why;
      return result;
    };
    size_t comma = line.find(',');
    if (comma == std::string_view::npos) return fail("a line needs a level and a keyword");
    int depth = LevelDepth(TrimBlanks(line.substr(0, comma)));
    if (depth == 0) return fail("the level is not a dotted number");
    if (depth > static_cast<int>(open.size()) + 1) return fail("the level skips a parent");

    std::string_view rest = line.substr(comma + 1);
    comma = rest.find(',');
    OutlineItem item;
    item.depth = depth;
    item.keyword = LowerCollapsed(rest.substr(0, comma));
    if (item.keyword.empty()) return fail("the keyword is empty");
    if (comma != std::string_view::npos) {
      rest = rest.substr(comma + 1);
      if (TakesRestOfLine(item.keyword)) {
        item.args.emplace_back(TrimBlanks(rest));
      } else {
        for (std::string_view arg : SplitText(rest, ",")) item.args.emplace_back(TrimBlanks(arg));
      }
    }

    open.resize(depth - 1);
    std::vector<OutlineItem>& siblings = open.empty() ? result.items : open.back()->children;
    siblings.push_back(std::move(item));
    open.push_back(&siblings.back());
  }
  return result;
}

}  // namespace hrz::ui
