#include "support/quick_search.h"

#include <vector>

#include "entry/texts.h"
#include "hrzcommon/text.h"
#include "support/text_patterns.h"
#include "tips.h"
#include "xclidb.h"
#include "xfindgrid.h"
#include "xrecobjctrl.h"

namespace hrz {
namespace {

constexpr std::size_t kFieldNameMax = 63;
constexpr int kPatternCapacity = 256;
// What a word adds when no field of the list can match it.
constexpr const char* kMatchesNothing = "1 = 0";
constexpr UINT kRowCountTipMs = 20000;

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  for (std::string_view piece : SplitText(FirstCodePoints(text, kQuickSearchTextMax), " \t,;")) {
    const std::string_view word = TrimBlanks(piece);
    if (word.empty() || CountCodePoints(piece) > kQuickSearchWordMax) continue;
    words.emplace_back(word);
    if (words.size() == kQuickSearchWordsMax) break;
  }
  return words;
}

std::vector<std::string> Fields(std::string_view fieldList) {
  std::vector<std::string> fields;
  for (std::string_view piece : SplitText(fieldList, "|")) {
    const std::string_view field = TrimBlanks(piece);
    if (field.empty() || field.size() > kFieldNameMax || !IsSqlFieldName(field)) continue;
    fields.emplace_back(field);
  }
  return fields;
}

bool IsCreatorField(std::string_view field) {
  return EqualsNoCase(field, "NCRTOR") || MatchWildcard("*.NCRTOR", field);
}

// The terms of one word over the fields, "or" between them; empty when none applies.
std::string WordTerms(tagXCliDB* db, const std::string& word,
                      const std::vector<std::string>& fields, const std::string& upper) {
  char pattern[kPatternCapacity] = {};
  CopyBounded(pattern, sizeof pattern, word);
  const bool likeable = XWhereRecObjCtrl::AddWildCharForLike(db, pattern, 0, sizeof pattern);
  std::string terms;
  for (const std::string& field : fields) {
    const char* joint = terms.empty() ? "" : "or ";
    if (IsCreatorField(field)) {
      const int creator = XCliGetUserNID(db, word.c_str());
      if (creator < 1) continue;
      terms += joint + field + " = " + std::to_string(creator);
      break;
    }
    if (!likeable) continue;
    terms += joint + upper + "(" + field + ") like " + upper + "(" + SqlQuoted(pattern) + ")";
  }
  return terms;
}

}  // namespace

std::string QuickSearchWhere(tagXCliDB* db, std::string_view text, std::string_view fieldList,
                             const char* upperFunction) {
  const std::vector<std::string> words = Words(text);
  const std::vector<std::string> fields = Fields(fieldList);
  const std::string upper =
      upperFunction != nullptr && IsSqlName(upperFunction) ? upperFunction : "upper";
  std::string where;
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string terms = WordTerms(db, words[i], fields, upper);
    if (terms.empty()) terms = kMatchesNothing;
    if (words.size() == 1) return terms;
    where += (i == 0 ? "(" : "and (") + terms + ")";
  }
  return where;
}

std::string QuickUserSearchWhere(XPrdFindGrid& grid, const char* text) {
  const char* hostFields = HostSetting("dlg_userman", "Quick Search User");
  return QuickSearchWhere(grid.GetDB(), text != nullptr ? text : "",
                          hostFields != nullptr ? hostFields : "CCODE | CNAME",
                          xclisql_upper(grid.GetDB(), grid.GetDbName()));
}

int FillSearchGrid(XPrdFindGrid& grid, const std::string& where) {
  grid.SetRows(1, TRUE);
  int rows = 0;
  if (grid.DoFind(where.c_str(), nullptr, &rows, TRUE) < 0) rows = 0;
  grid.Refresh();
  return rows;
}

void ShowRowCountTip(CCoolToolTip& tip, XPrdFindGrid& grid, const std::string& text) {
  RECT corner{};
  grid.GetWindowRect(&corner);
  tip.ShowMe(text.c_str(), POINT{corner.left, corner.top}, kRowCountTipMs);
}

}  // namespace hrz
