#include "hrzcommon/res_outline.h"

#include <algorithm>
#include <vector>

#include "hrzcommon/text.h"

namespace hrz {
namespace {

constexpr int kMaxDepth = 255;

std::string_view TrimLineBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Decodes the escapes of rest and splits it at its first unescaped ",".
void SplitRest(std::string_view rest, std::string* name, std::string* value) {
  if (rest.find('\\') == std::string_view::npos) {  // most lines: nothing to decode
    const std::size_t comma = rest.find(',');
    name->assign(TrimBlanks(rest.substr(0, comma)));
    value->assign(comma == std::string_view::npos ? std::string_view()
                                                  : TrimBlanks(rest.substr(comma + 1)));
    return;
  }
  std::string* out = name;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '\\' && i + 1 < rest.size()) {
      const char next = rest[++i];
      if (next == '\\') {
        out->push_back('\\');
      } else if (next == 'n') {
        out->append("\r\n");
      } else {
        out->push_back('\\');
        out->push_back(next);
      }
    } else if (c == ',' && out == name) {
      out = value;
    } else {
      out->push_back(c);
    }
  }
  *name = std::string(TrimBlanks(*name));
  *value = std::string(TrimBlanks(*value));
}

struct OpenLine {
  int depth;
  bool ignored;
};

}  // namespace

void ForEachResOutlineLine(std::string_view text,
                           const std::function<void(const ResOutlineLine&)>& onLine) {
  std::vector<OpenLine> open;  // the lines that the next one may nest under
  bool first = true;
  int depth = 0;
  std::size_t dots = 0;
  ResOutlineLine line;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view content = text.substr(pos, end - pos);
    line.begin = pos;
    line.end = end;
    pos = end + 1;
    if (std::size_t comment = content.find("//"); comment != std::string_view::npos) {
      content = content.substr(0, comment);
    }
    const std::size_t comma = content.find(',');
    line.mark = TrimLineBlanks(content.substr(0, comma));
    if (line.mark.empty()) continue;

    const auto markDots =
        static_cast<std::size_t>(std::count(line.mark.begin(), line.mark.end(), '.'));
    if (!first) {
      const long long next = static_cast<long long>(depth) + static_cast<long long>(markDots) -
                             static_cast<long long>(dots);
      depth = static_cast<int>(std::clamp<long long>(next, 0, kMaxDepth));
    }
    first = false;
    dots = markDots;
    while (!open.empty() && open.back().depth >= depth) open.pop_back();
    const std::size_t level = open.size();
    bool ignored =
        (!open.empty() && open.back().ignored) || comma == std::string_view::npos || level > 1;
    line.name.clear();
    line.value.clear();
    if (!ignored) {
      SplitRest(TrimLineBlanks(content.substr(comma + 1)), &line.name, &line.value);
      ignored = line.name.empty();
    }
    open.push_back({depth, ignored});
    line.depth = depth;
    if (ignored) {
      line.kind = ResOutlineLine::kIgnored;
      line.name.clear();
      line.value.clear();
    } else {
      line.kind = level == 0 ? ResOutlineLine::kSection : ResOutlineLine::kEntry;
    }
    onLine(line);
  }
}

}  // namespace hrz
