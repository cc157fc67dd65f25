// The message keys the module asks the host for, read from its sources so that a key added
// anywhere is seen without a list to keep. A lookup is one of
//   UnitTexts T("section");  ... T("key") ... T.HostHas("key")
//   SectionTexts texts;      ... texts("section", "key")
//   HostText("section", "key")
// with the key written as a literal, or as a conditional choosing between literals. A
// lookup written straight into FormatTemplate(...) is a template filled with one argument.
// Whatever the scan cannot read (a key in a variable, a lookup object passed around, one
// whose section it cannot tell) is reported, so that no key goes unseen.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hrztest {

struct TextKeyUse {
  std::string section;
  std::string key;
  bool formatted = false;  // written into FormatTemplate
  std::string where;       // "file:line"
  bool operator==(const TextKeyUse&) const = default;
};

struct TextKeyScan {
  std::vector<TextKeyUse> uses;
  std::vector<std::string> errors;  // "file:line: what could not be read"
};

// Scans sources (file name -> text) together: a lookup object may be declared in a header
// and used in the source file of the same name.
TextKeyScan ScanTextLookups(const std::map<std::string, std::string>& sources);

}  // namespace hrztest
