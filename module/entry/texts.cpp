#include "entry/texts.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "entry/module_state.h"
#include "hrzcommon/text.h"

namespace hrz {
namespace {

constexpr std::size_t kTextBuffer = 128;

}  // namespace

const char* HostText(const char* section, const char* key) {
  const tagHRZLib* lib = Module().lib;
  if (lib == nullptr || lib->callback == nullptr) return nullptr;
  const char* text = lib->callback(1, 1, reinterpret_cast<std::intptr_t>(section),
                                   reinterpret_cast<std::intptr_t>(key));
  return (text != nullptr && text[0] != '\0') ? text : nullptr;
}

const char* HostSetting(const char* section, const char* key) {
  return HostText(section, key);
}

void FormatFallbackText(char* buffer, const char* section, const char* key) {
  const std::size_t sectionLength = section != nullptr ? std::strlen(section) : 0;
  const std::size_t keyLength = key != nullptr ? std::strlen(key) : 0;
  if (sectionLength + keyLength + 2 < kTextBuffer) {
    std::snprintf(buffer, kTextBuffer, "%s.%s", section != nullptr ? section : "",
                  key != nullptr ? key : "");
  } else {
    CopyBounded(buffer, kTextBuffer, std::string_view(key, keyLength));
  }
}

const char* UnitTexts::operator()(const char* key) {
  if (const char* text = HostText(section_, key)) return text;
  index_ = (index_ < 0 || index_ > kRingSize - 2) ? 0 : index_ + 1;
  FormatFallbackText(ring_[index_], section_, key);
  return ring_[index_];
}

bool UnitTexts::HostHas(const char* key) const {
  return HostText(section_, key) != nullptr;
}

const char* SectionTexts::operator()(const char* section, const char* key) {
  if (const char* text = HostText(section, key)) return text;
  FormatFallbackText(buffer_, section, key);
  return buffer_;
}

}  // namespace hrz
