#include "support/mutated_texts.h"

#include <random>

namespace hrztest {
namespace {

// Bytes with a meaning to line-based and outline formats, and a few without.
constexpr std::string_view kSpecial{" \t\r\n,.\\/|n1aZ\0\xff\x80", 17};

void Edit(std::string* text, std::mt19937* random) {
  const auto pick = [&](std::size_t below) {
    return below == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, below - 1)(*random);
  };
  const std::size_t at = pick(text->size() + 1);
  switch (pick(5)) {
    case 0:
      text->insert(at, 1, kSpecial[pick(kSpecial.size())]);
      break;
    case 1:
      text->erase(at, pick(16) + 1);
      break;
    case 2: {  // repeat the line around at
      const std::size_t begin = text->rfind('\n', at == 0 ? 0 : at - 1);
      const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
      const std::size_t end = text->find('\n', from);
      const std::string line =
          text->substr(from, end == std::string::npos ? std::string::npos : end - from + 1);
      text->insert(from, line);
      break;
    }
    case 3:
      text->resize(at);
      break;
    default:
      text->insert(at, std::string(pick(300) + 1, '.'));
      break;
  }
}

}  // namespace

std::vector<std::string> MutatedTexts(std::string_view original, int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) {
    std::string text(original);
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) Edit(&text, &random);
    texts.push_back(std::move(text));
  }
  return texts;
}

}  // namespace hrztest
