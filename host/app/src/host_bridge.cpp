#include "host_bridge.h"

#include "hrzcommon/text.h"
#include "messages.h"

namespace hrzhost {
namespace {

HostBridge* g_bridge = nullptr;

constexpr int kCodeInitialise = 1;
constexpr int kCodeRunCommand = 20;
constexpr std::size_t kOutCapacity = 512;
constexpr std::size_t kScopeCapacity = 128;

}  // namespace

const std::vector<HostCommand>& HostCommands() {
  static const std::vector<HostCommand> commands = {
      {"XCHGPWD", "Change password", true},
      {"XCHGEXPIREDPWD", "Change expired password", true},
      {"XUSRMAN", "Users and departments", true},
      {"XROLEMAN", "Roles", true},
      {"XUSERS_STAT", "Online users", true},
      {"XUSRFUNC", "Function privileges", true},
      {"KQFLOWUSER", "Flow user privileges", true},
      {"KQWFUSER", "Outgoing file limits", true},
      {"XPRFLWCHK", "Flow check privileges", true},
      {"XUSRINFO", "My profile and signatures", true},
      {"XSELUSER", "Select user", true, kSelectUserKinds},
      {"XVIEWSIGN", "View signatures", true},
      {"HOSTREFRESH", "Refresh", false},
      {"HOSTABOUT", "About hrzhost", false},
  };
  return commands;
}

const HostCommand* FindHostCommand(const std::string& name) {
  for (const HostCommand& command : HostCommands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

HostBridge::HostBridge() {
  g_bridge = this;
  lib_.callback = &HostBridge::Callback;
}

HostBridge::~HostBridge() {
  if (g_bridge == this) g_bridge = nullptr;
}

void HostBridge::Attach(HRZCmdFunc entry, tagXCliDB* db, HWND mainWindow) {
  entry_ = entry;
  lib_.parentWnd = mainWindow;
  params_[1] = db;
  params_[2] = &lib_;
  if (entry_ != nullptr) entry_(kCodeInitialise, nullptr, params_, nullptr);
}

HostBridge::Outcome HostBridge::Run(const HostCommand& command,
                                    const std::function<void()>& runHost) {
  Outcome outcome;
  char out[kOutCapacity] = "";
  if (captureEntry_ != nullptr) {
    HRZCmdFunc capture = captureEntry_;
    captureEntry_ = nullptr;
    // The context names where the command sits, for the privilege's description.
    std::string context = std::string("Menu: ") + command.label;
    hrz::CopyBounded(out, kOutCapacity, context);
    outcome.captured = true;
    outcome.result = capture(kCodeRunCommand, command.name, params_, out);
    outcome.out = out;
    return outcome;
  }
  if (!command.moduleCommand) {
    if (runHost) runHost();
    return outcome;
  }
  if (entry_ == nullptr) return outcome;
  if (command.input != nullptr) std::strncpy(out, command.input, kOutCapacity - 1);
  outcome.result = entry_(kCodeRunCommand, command.name, params_, out);
  out[kOutCapacity - 1] = '\0';
  outcome.out = out;
  return outcome;
}

void HostBridge::SetText(const std::string& section, const std::string& key,
                         const std::string& text) {
  if (text.empty()) {
    texts_.erase({section, key});
  } else {
    texts_[{section, key}] = text;
  }
}

char* HostBridge::Callback(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d) {
  if (a == 1 && b == 1) {
    const char* section = reinterpret_cast<const char*>(c);
    const char* key = reinterpret_cast<const char*>(d);
    if (section == nullptr || key == nullptr) return nullptr;
    if (g_bridge != nullptr) {
      auto given = g_bridge->texts_.find({section, key});
      if (given != g_bridge->texts_.end()) return given->second.data();
    }
    return const_cast<char*>(hrzcfg::MessageText(section, key));
  }
  if (a == 1 && b == 4) {
    char* buffer = reinterpret_cast<char*>(c);
    if (buffer == nullptr) return nullptr;
    hrz::CopyBounded(buffer, kScopeCapacity, kScopeName);
    return buffer;
  }
  if (a == 2 && b == 2 && g_bridge != nullptr) {
    g_bridge->captureEntry_ = reinterpret_cast<HRZCmdFunc>(c);
    return nullptr;
  }
  return nullptr;
}

}  // namespace hrzhost
