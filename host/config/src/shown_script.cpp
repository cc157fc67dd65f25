#include "shown_script.h"

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "messages.h"

namespace hrzcfg {
namespace {

constexpr std::string_view kLabel = ", label, ";

std::string Translated(std::string_view script) {
  std::string shown;
  while (!script.empty()) {
    const std::size_t end = script.find('\n');
    std::string_view line = script.substr(0, end);
    script = end == std::string_view::npos ? std::string_view() : script.substr(end + 1);
    const std::size_t at = line.find(kLabel);
    const std::size_t text = at + kLabel.size();
    const char* translation =
        at == std::string_view::npos ? nullptr : MessageText("labels", line.substr(text));
    if (translation != nullptr) {
      shown.append(line.substr(0, text)).append(translation);
    } else {
      shown.append(line);
    }
    if (end != std::string_view::npos) shown += '\n';
  }
  return shown;
}

}  // namespace

const char* ShownScript(const char* script) {
  if (script == nullptr) return nullptr;
  static std::mutex mutex;
  static std::map<std::pair<MessageLanguage, const char*>, std::string> shown;  // by mutex
  std::lock_guard lock(mutex);
  auto [it, added] = shown.try_emplace({SelectedMessageLanguage(), script});
  if (added) it->second = Translated(script);
  return it->second.c_str();
}

}  // namespace hrzcfg
