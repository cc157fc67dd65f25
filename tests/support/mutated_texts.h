// Damaged copies of a well-formed text, for parsers that must take any input: each copy has
// a few random edits (characters that mean something to outline files inserted, runs
// deleted, lines repeated, the text cut short), the same for the same seed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hrztest {

std::vector<std::string> MutatedTexts(std::string_view original, int count, unsigned seed);

}  // namespace hrztest
