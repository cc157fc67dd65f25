// What the desktop client gives the module: the host callback (message texts, the short
// name of the current scope, command capture) and the routing of menu commands to HRZCmd.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "hrzlib.h"

struct tagXCliDB;

namespace hrzhost {

struct HostCommand {
  const char* name;             // passed to HRZCmd
  const char* label;            // shown in the menu
  bool moduleCommand;           // false: the host runs it itself
  const char* input = nullptr;  // the text HRZCmd finds in its buffer; null: an empty one
};

// What the host lets its user pick with "XSELUSER": users of both kinds, departments, roles.
constexpr const char* kSelectUserKinds = "UUSRI,KQUSR,UDEPT,UROLE";

// The module's twelve commands, then the host's own.
const std::vector<HostCommand>& HostCommands();
// The command of that name, or null.
const HostCommand* FindHostCommand(const std::string& name);

// The short name the host reports as its current scope (callback pattern 1, 4).
constexpr const char* kScopeName = "hrzhost";

// One per process: the callback has no context argument.
class HostBridge {
 public:
  HostBridge();
  ~HostBridge();
  HostBridge(const HostBridge&) = delete;
  HostBridge& operator=(const HostBridge&) = delete;

  // Hands the connection and the host library record to the module (HRZCmd code 1).
  void Attach(HRZCmdFunc entry, tagXCliDB* db, HWND mainWindow);
  const tagHRZLib& Lib() const { return lib_; }
  tagXCliDB* Connection() const { return static_cast<tagXCliDB*>(params_[1]); }
  bool CaptureArmed() const { return captureEntry_ != nullptr; }

  struct Outcome {
    bool captured = false;  // went to the capture entry instead of running
    int result = 1;         // what HRZCmd returned
    std::string out;        // the text HRZCmd wrote into its buffer
  };
  // Runs a menu command: module commands through HRZCmd with the command's input in the
  // buffer, host commands through runHost.
  // While capture is armed the command, whatever it is, goes to the capture entry with its
  // name and a context text, and capture is disarmed.
  Outcome Run(const HostCommand& command, const std::function<void()>& runHost);

  // Gives the module text for (section, key) in place of the catalogue's, as a host
  // configured otherwise would; an empty text withdraws it.
  void SetText(const std::string& section, const std::string& key, const std::string& text);

  static char* Callback(std::intptr_t a, std::intptr_t b, std::intptr_t c, std::intptr_t d);

 private:
  HRZCmdFunc entry_ = nullptr;
  HRZCmdFunc captureEntry_ = nullptr;
  tagHRZLib lib_;
  void* params_[3] = {nullptr, nullptr, nullptr};
  std::map<std::pair<std::string, std::string>, std::string> texts_;
};

}  // namespace hrzhost
