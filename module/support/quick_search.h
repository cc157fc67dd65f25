// The where clause of a quick search over a record table: every word typed must match (the
// words joined by "and"), each word any of the searched fields (joined by "or"). Shared by
// the organisation's searches and the other search dialogs, each with its own field list.
#pragma once

#include <string>
#include <string_view>

struct tagXCliDB;
class CCoolToolTip;
class XPrdFindGrid;

namespace hrz {

// Limits of one search: the text, the words kept and the length of one word.
constexpr std::size_t kQuickSearchTextMax = 1023;
constexpr std::size_t kQuickSearchWordsMax = 64;
constexpr std::size_t kQuickSearchWordMax = 127;

// text: words separated by blanks, tabs, "," and ";". fieldList: field names separated by
// "|" (blanks around them dropped; names that are no plain SQL name are skipped). A field
// "NCRTOR" (or "<table>.NCRTOR") matches the user whose code is the word, by NID; any other
// field is compared with LIKE in upper case (upperFunction), "*" and "?" in a word being
// wildcards. A word that no field can match matches nothing. No words: the empty clause.
std::string QuickSearchWhere(tagXCliDB* db, std::string_view text, std::string_view fieldList,
                             const char* upperFunction);

// The organisation's quick user search of text in grid's table: over the fields the host
// names ("Quick Search User" of "dlg_userman"), else code and name.
std::string QuickUserSearchWhere(XPrdFindGrid& grid, const char* text);

// Empties grid to its header and fills it with every row matching where; the number of
// rows found (0 when the find failed).
int FillSearchGrid(XPrdFindGrid& grid, const std::string& where);
// Shows text (the count of a search) in tip at the grid's top left corner for a while.
void ShowRowCountTip(CCoolToolTip& tip, XPrdFindGrid& grid, const std::string& text);

}  // namespace hrz
