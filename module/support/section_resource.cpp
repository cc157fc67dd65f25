#include "support/section_resource.h"

#include <algorithm>
#include <map>

#include "hrzcommon/res_outline.h"
#include "hrzcommon/text.h"

namespace hrz {
namespace {

// Orders by name without regard to ASCII letter case, other bytes by their value.
int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
    const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <typename T>
bool NameBefore(const T& item, std::string_view name) {
  return CompareNoCase(item.name, name) < 0;
}

template <typename T>
void SortByName(std::vector<T>* items) {
  std::stable_sort(items->begin(), items->end(),
                   [](const T& a, const T& b) { return CompareNoCase(a.name, b.name) < 0; });
}

}  // namespace

void SectionResource::Load(std::string_view text) {
  sections_.clear();
  // Names are handed out as C texts: a zero byte ends the text as it would end them.
  text = text.substr(0, text.find('\0'));
  std::map<std::string, std::size_t> byLowerName;
  Section* current = nullptr;
  ForEachResOutlineLine(text, [&](const ResOutlineLine& line) {
    if (line.kind == ResOutlineLine::kSection) {
      auto [it, added] = byLowerName.emplace(LowerAscii(line.name), sections_.size());
      if (added) sections_.push_back({line.name, {}});
      current = &sections_[it->second];
    } else if (line.kind == ResOutlineLine::kEntry && current != nullptr) {
      current->entries.push_back({line.name, line.value});
    }
  });
  SortByName(&sections_);
  for (Section& section : sections_) SortByName(&section.entries);
}

const char* SectionResource::SectionName(int index) const {
  if (index < 0 || index >= SectionCount()) return nullptr;
  return sections_[static_cast<std::size_t>(index)].name.c_str();
}

const SectionResource::Section* SectionResource::FindSection(std::string_view name) const {
  auto it = std::lower_bound(sections_.begin(), sections_.end(), name, NameBefore<Section>);
  return it != sections_.end() && CompareNoCase(it->name, name) == 0 ? &*it : nullptr;
}

const std::string* SectionResource::Find(std::string_view section, std::string_view name) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return nullptr;
  auto it = std::lower_bound(found->entries.begin(), found->entries.end(), name, NameBefore<Entry>);
  return it != found->entries.end() && CompareNoCase(it->name, name) == 0 ? &it->value : nullptr;
}

int SectionResource::EntryCount(std::string_view section) const {
  const Section* found = FindSection(section);
  return found != nullptr ? static_cast<int>(found->entries.size()) : 0;
}

const SectionResource::Entry* SectionResource::EntryAt(std::string_view section, int index) const {
  const Section* found = FindSection(section);
  if (found == nullptr || index < 0 || index >= static_cast<int>(found->entries.size())) {
    return nullptr;
  }
  return &found->entries[static_cast<std::size_t>(index)];
}

}  // namespace hrz
