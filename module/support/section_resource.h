// A resource of named sections, each a list of (name, value) entries, read from the text of
// an outline resource file (hrzcommon/res_outline.h). Section names compare without regard
// to case and a repeated section continues the first; repeated entry names all stay. After
// loading, sections and the entries of each are ordered by name without regard to case,
// equal names keeping their file order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hrz {

class SectionResource {
 public:
  struct Entry {
    std::string name;
    std::string value;
  };

  // Replaces everything with the sections of text, which ends at its first zero byte.
  void Load(std::string_view text);
  void Clear() { sections_.clear(); }

  int SectionCount() const { return static_cast<int>(sections_.size()); }
  // The name of the section at index, or null outside 0 to SectionCount() - 1.
  const char* SectionName(int index) const;
  // The value of the first entry called name in section, or null when there is none.
  const std::string* Find(std::string_view section, std::string_view name) const;
  // The entries of the named section; 0 and null when it does not exist or index is outside.
  int EntryCount(std::string_view section) const;
  const Entry* EntryAt(std::string_view section, int index) const;

 private:
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  const Section* FindSection(std::string_view name) const;

  std::vector<Section> sections_;
};

}  // namespace hrz
