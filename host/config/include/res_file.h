// Writing resource files of outline lines (hrzcommon/res_outline.h), such as the kernel
// policy that the module's application tree changes.
#pragma once

#include <string>
#include <string_view>

// Gives the first entry called key of section (both compared without regard to case) the
// value; without such an entry one is added as the section's first, and without the section
// both are added at the end. The file keeps its form, plain or compressed, and changes whole
// or not at all. Non-zero on success; 0 when the file cannot be read or written, or when the
// entry cannot be written so that it reads back as given (a "," in key, a "//", a CR or LF
// that is not part of a CR LF, blanks at either end, an empty section or key), and a file
// that holds a zero byte, after which readers see nothing.
int RZWriteResFile(const char* path, const char* section, const char* key, const char* value);

namespace hrzcfg {

// The same change made on the text of a file: false, and out untouched, when the result
// would not read back as the text with only that entry changed.
bool SetResEntry(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view value, std::string* out);

}  // namespace hrzcfg
