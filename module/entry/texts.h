// Message texts by section and key, from the host's callback with a readable fallback.
// The result is never null. A host text belongs to the host; a fallback lives in the
// unit's buffer until it is reused, so copy a text before asking for more than seven
// further texts of the same unit (or for any further text through SectionTexts).
#pragma once

namespace hrz {

// The host's text for (section, key), or null when the host has none or an empty one.
const char* HostText(const char* section, const char* key);

// A setting the host may give in place of a text (a field list, say): null when it gives
// none, and the caller then uses its own default. Not a message, so it has no fallback and
// the host is not expected to carry it.
const char* HostSetting(const char* section, const char* key);

// The lookup of one source unit, bound to its section, with its own ring of 8 buffers.
class UnitTexts {
 public:
  explicit UnitTexts(const char* section) : section_(section) {}
  UnitTexts(const UnitTexts&) = delete;
  UnitTexts& operator=(const UnitTexts&) = delete;

  const char* operator()(const char* key);
  // True when the host supplies a non-empty text; no fallback is made.
  bool HostHas(const char* key) const;
  const char* section() const { return section_; }

 private:
  static constexpr int kRingSize = 8;
  static constexpr int kBufferSize = 128;
  const char* section_;
  char ring_[kRingSize][kBufferSize] = {};
  int index_ = -1;
};

// The two-argument lookup of one source unit, with a single fallback buffer.
class SectionTexts {
 public:
  SectionTexts() = default;
  SectionTexts(const SectionTexts&) = delete;
  SectionTexts& operator=(const SectionTexts&) = delete;

  const char* operator()(const char* section, const char* key);

 private:
  char buffer_[128] = {};
};

// Fills buffer (128 bytes) with the fallback form of (section, key): "section.key" when
// it fits, else the key alone, else the key's first 127 bytes.
void FormatFallbackText(char* buffer, const char* section, const char* key);

}  // namespace hrz
