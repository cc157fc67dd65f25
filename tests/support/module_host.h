// The module run the way a host runs it, with a scripted user in front of it:
//
//   hrztest::ModuleHost module({{"dlg_chgpwd/dlg_cap", "Change password of %s"}});
//   module.Initialise(db);                     // HRZCmd code 1: connection and host record
//   module.user().OnDialog(IDD_CHGPWD, [](hrz::DialogDriver& d) { d.Click(IDOK); });
//   module.Run("XCHGPWD");                     // HRZCmd code 20
//   EXPECT_EQ(module.MessageTexts(), ...);
//
// The module is attached under its own instance handle (its templates, icons and bitmaps
// registered) when the object is made, and detached with its state forgotten when it goes.
// The user is installed for the object's whole life, so it answers every dialog, message
// box and file dialog, in a command or in a module function a test calls directly. One at a
// time: the host callback has no context argument. UI thread only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "automation.h"
#include "hrzlib.h"

struct tagXCliDB;

namespace hrztest {

class ModuleHost {
 public:
  // texts: the host's texts by "section/key"; a key without one gets the module's own
  // "section.key" fallback, which is what most tests compare.
  explicit ModuleHost(std::map<std::string, std::string> texts = {});
  ~ModuleHost();
  ModuleHost(const ModuleHost&) = delete;
  ModuleHost& operator=(const ModuleHost&) = delete;

  // HRZCmd code 1: hands db (may be null) and, unless withHostRecord is false, the host
  // record to the module. Returns what HRZCmd returns.
  int Initialise(tagXCliDB* db, bool withHostRecord = true);
  // HRZCmd code 20 with command; out may be null.
  int Run(const char* command, char* out = nullptr);

  // Gives the host a text ("section/key") from now on, as a host configured otherwise would.
  void SetHostText(const std::string& sectionKey, std::string text) {
    texts_[sectionKey] = std::move(text);
  }

  // The short name the host gives as its current scope (callback 1, 4); none until set.
  void SetScopeName(std::string name) { scopeName_ = std::move(name); }
  // The entries the module asked the host to send its next command to (callback 2, 2), in
  // order; a test plays the host by running that next command itself.
  const std::vector<std::intptr_t>& CaptureRequests() const { return captures_; }

  hrz::ScriptedAutomation& user() { return user_; }
  // The texts of the message boxes shown so far, in order.
  std::vector<std::string> MessageTexts() const;

 private:
  static char* Callback(std::intptr_t kind, std::intptr_t what, std::intptr_t section,
                        std::intptr_t key);

  std::map<std::string, std::string> texts_;
  std::optional<std::string> scopeName_;
  std::vector<std::intptr_t> captures_;
  tagHRZLib lib_;
  hrz::ScriptedAutomation user_;
  hrz::AutomationScope userScope_{&user_};
};

}  // namespace hrztest
