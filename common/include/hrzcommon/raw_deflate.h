// Raw DEFLATE streams (RFC 1951, no zlib or gzip header), as configuration files and file
// packages store their content.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hrz {

// Inflates data whole into out; false when it is corrupt, truncated, or would inflate beyond
// maxBytes (a tiny hostile stream cannot eat memory). out is untouched on failure.
bool InflateRaw(std::string_view data, std::size_t maxBytes, std::string* out);

// Deflates text at the best compression into out; false on failure (out untouched).
bool DeflateRaw(std::string_view text, std::string* out);

}  // namespace hrz
