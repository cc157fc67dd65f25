// Reads arbitrary bytes as a policy file into the section resource, and writes one entry
// into them: the resource stays well formed, and a write either is refused or reads back.
#include <cstdint>
#include <string>
#include <string_view>

#include "hrzcommon/text.h"
#include "res_file.h"
#include "support/section_resource.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckWellFormed(const hrz::SectionResource& resource) {
  for (int s = 0; s < resource.SectionCount(); ++s) {
    const std::string section = resource.SectionName(s);
    Check(!section.empty());
    if (s > 0) Check(hrz::LowerAscii(resource.SectionName(s - 1)) < hrz::LowerAscii(section));
    for (int e = 0; e < resource.EntryCount(section); ++e) {
      const hrz::SectionResource::Entry* entry = resource.EntryAt(section, e);
      Check(entry != nullptr && !entry->name.empty());
      Check(resource.Find(section, entry->name) != nullptr);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  hrz::SectionResource resource;
  resource.Load(text);
  CheckWellFormed(resource);

  std::string written;
  if (hrzcfg::SetResEntry(text, "Kernel", "USB", "Read", &written)) {
    hrz::SectionResource after;
    after.Load(written);
    CheckWellFormed(after);
    const std::string* value = after.Find("Kernel", "USB");
    Check(value != nullptr && *value == "Read");
  }
  return 0;
}
