// Configuration files as stored: plain text whose first six characters are "//TEXT" (any
// letter case), or a raw DEFLATE stream (RFC 1951, no zlib or gzip header) of the text.
// The module loads them; the host also writes them back in the form they had.
#pragma once

#include <string>
#include <string_view>

namespace hrz {

constexpr long long kCfgFileMaxBytes = 104857600;  // on disk
// A compressed file may not inflate beyond this, so a tiny hostile file cannot eat memory.
constexpr long long kCfgInflatedMaxBytes = 1LL << 30;

bool IsPlainCfgText(std::string_view data);

// Reads a file of 1 to kCfgFileMaxBytes bytes and gives its text. compressed (may be null)
// is set when the file was a DEFLATE stream. False on any failure (text then undefined).
bool LoadCfgText(const char* path, std::string* text, bool* compressed);

// Replaces the file with text, compressed when asked. The file changes whole or not at all.
bool SaveCfgText(const char* path, std::string_view text, bool compressed);

}  // namespace hrz
