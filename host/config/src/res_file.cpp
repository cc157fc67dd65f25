#include "res_file.h"

#include <algorithm>
#include <vector>

#include "hrzcommon/cfg_file.h"
#include "hrzcommon/res_outline.h"
#include "hrzcommon/text.h"

namespace hrzcfg {
namespace {

using hrz::ResOutlineLine;

struct Line {
  ResOutlineLine::Kind kind;
  std::string name;
  std::string value;
  bool operator==(const Line&) const = default;
};

std::vector<Line> ReadLines(std::string_view text) {
  std::vector<Line> lines;
  hrz::ForEachResOutlineLine(text, [&](const ResOutlineLine& line) {
    if (line.kind != ResOutlineLine::kIgnored) lines.push_back({line.kind, line.name, line.value});
  });
  return lines;
}

// Backslashes doubled and each CR LF written as "\n", as the reader decodes them.
std::string Escaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      out += "\\\\";
    } else if (text.substr(i, 2) == "\r\n") {
      out += "\\n";
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string EntryText(std::string_view key, std::string_view value) {
  return Escaped(key) + ", " + Escaped(value);
}

// A mark with the given number of dots: "1", "1.1", "1.1.1", ...
std::string MarkWithDots(std::size_t dots) {
  std::string mark = "1";
  for (std::size_t i = 0; i < dots; ++i) mark += ".1";
  return mark;
}

// A CR that is not part of a CR LF reads back where the line ends, but would end a line for a
// reader that takes a lone CR as a line end: such texts are not written.
bool HasLoneCarriageReturn(std::string_view text) {
  for (std::size_t i = text.find('\r'); i != std::string_view::npos; i = text.find('\r', i + 1)) {
    if (i + 1 == text.size() || text[i + 1] != '\n') return true;
  }
  return false;
}

std::size_t CountDots(std::string_view mark) {
  return static_cast<std::size_t>(std::count(mark.begin(), mark.end(), '.'));
}

}  // namespace

bool SetResEntry(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view value, std::string* out) {
  if (out == nullptr) return false;
  if (HasLoneCarriageReturn(section) || HasLoneCarriageReturn(key) ||
      HasLoneCarriageReturn(value)) {
    return false;
  }
  // Readers take the file as a C text: nothing after a zero byte would ever be read back.
  for (std::string_view part : {text, section, key, value}) {
    if (part.find('\0') != std::string_view::npos) return false;
  }
  const std::string newline = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  // Where the change goes, found in one pass: the first matching entry of the section, else
  // the section's first line, else the last line that counts for nesting.
  bool inSection = false, entryFound = false, sectionFound = false;
  ResOutlineLine target, sectionLine, lastLine;
  bool anyLine = false;
  std::size_t targetIndex = 0, sectionIndex = 0, index = 0;
  hrz::ForEachResOutlineLine(text, [&](const ResOutlineLine& line) {
    anyLine = true;
    lastLine = line;
    if (line.kind == ResOutlineLine::kIgnored) return;
    if (line.kind == ResOutlineLine::kSection) {
      inSection = hrz::EqualsNoCase(line.name, section);
      if (inSection && !sectionFound) {
        sectionFound = true;
        sectionLine = line;
        sectionIndex = index;
      }
    } else if (inSection && !entryFound && hrz::EqualsNoCase(line.name, key)) {
      entryFound = true;
      target = line;
      targetIndex = index;
    }
    ++index;
  });

  std::vector<Line> expected = ReadLines(text);
  std::string result;
  const auto offsetOf = [&](std::string_view part) {
    return static_cast<std::size_t>(part.data() - text.data());
  };
  if (entryFound) {
    // The line keeps its indentation, mark, comment and line end.
    const std::size_t markEnd = offsetOf(target.mark) + target.mark.size();
    std::string_view rest = text.substr(markEnd, target.end - markEnd);
    const bool endsWithCr = !rest.empty() && rest.back() == '\r';
    if (endsWithCr) rest.remove_suffix(1);
    const std::size_t comment = rest.find("//");
    result.append(text.substr(0, markEnd));
    result += ", " + EntryText(target.name, value);
    if (comment != std::string_view::npos) result += " " + std::string(rest.substr(comment));
    if (endsWithCr) result += '\r';
    result.append(text.substr(target.end));
    expected[targetIndex].value = std::string(value);
  } else if (sectionFound) {
    std::string mark(sectionLine.mark);
    result.append(text.substr(0, sectionLine.end));
    const bool endsWithCr =
        sectionLine.end > sectionLine.begin && text[sectionLine.end - 1] == '\r';
    if (endsWithCr) result.pop_back();
    result.append(newline);
    result += mark + ".1, " + EntryText(key, value);
    if (endsWithCr) result += '\r';
    result.append(text.substr(sectionLine.end));
    expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(sectionIndex) + 1,
                    Line{ResOutlineLine::kEntry, std::string(key), std::string(value)});
  } else {
    // Dots that bring the new section line to depth 0 after the last line: a line's depth
    // never exceeds its dots, so this is never negative.
    const std::size_t dots =
        anyLine ? CountDots(lastLine.mark) - static_cast<std::size_t>(lastLine.depth) : 0;
    result.append(text);
    if (!result.empty() && result.back() != '\n') result.append(newline);
    result += MarkWithDots(dots) + ", " + Escaped(section) + newline;
    result += MarkWithDots(dots + 1) + ", " + EntryText(key, value) + newline;
    expected.push_back({ResOutlineLine::kSection, std::string(section), ""});
    expected.push_back({ResOutlineLine::kEntry, std::string(key), std::string(value)});
  }
  if (ReadLines(result) != expected) return false;
  *out = std::move(result);
  return true;
}

}  // namespace hrzcfg

int RZWriteResFile(const char* path, const char* section, const char* key, const char* value) {
  if (path == nullptr || section == nullptr || key == nullptr || value == nullptr) return 0;
  std::string text;
  bool compressed = false;
  if (!hrz::LoadCfgText(path, &text, &compressed)) return 0;
  std::string changed;
  if (!hrzcfg::SetResEntry(text, section, key, value, &changed)) return 0;
  return hrz::SaveCfgText(path, changed, compressed) ? 1 : 0;
}
