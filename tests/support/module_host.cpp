#include "support/module_host.h"

#include <gtest/gtest.h>

#include <utility>

#include "entry/hrzuser.h"
#include "entry/module_state.h"
#include "hrzcommon/text.h"
#include "support/qt_app.h"

namespace hrztest {
namespace {

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x5a00);
ModuleHost* g_host = nullptr;  // the one whose callback the module calls

}  // namespace

ModuleHost::ModuleHost(std::map<std::string, std::string> texts) : texts_(std::move(texts)) {
  App();
  EXPECT_EQ(g_host, nullptr) << "one module host at a time";
  g_host = this;
  lib_.callback = &ModuleHost::Callback;
  EXPECT_TRUE(hrz::ModuleAttach(kInstance)) << "the module's resources do not register";
}

ModuleHost::~ModuleHost() {
  hrz::ModuleDetach();
  hrz::Module() = hrz::ModuleState{};
  g_host = nullptr;
}

int ModuleHost::Initialise(tagXCliDB* db, bool withHostRecord) {
  void* params[3] = {kInstance, db, withHostRecord ? &lib_ : nullptr};
  return HRZCmd(hrz::kCodeInitialise, nullptr, params, nullptr);
}

int ModuleHost::Run(const char* command, char* out) {
  return HRZCmd(hrz::kCodeRunCommand, command, nullptr, out);
}

std::vector<std::string> ModuleHost::MessageTexts() const {
  std::vector<std::string> texts;
  for (const hrz::MessageBoxCall& box : user_.MessageBoxes()) texts.push_back(box.text);
  return texts;
}

// Patterns (1, 1, section, key), (1, 4, buffer, 0) and (2, 2, entry, entry).
char* ModuleHost::Callback(std::intptr_t kind, std::intptr_t what, std::intptr_t section,
                           std::intptr_t key) {
  if (g_host == nullptr) return nullptr;
  if (kind == 2 && what == 2) {
    g_host->captures_.push_back(section);
    return nullptr;
  }
  if (kind == 1 && what == 4 && section != 0 && g_host->scopeName_) {
    char* buffer = reinterpret_cast<char*>(section);
    hrz::CopyBounded(buffer, 128, *g_host->scopeName_);
    return buffer;
  }
  if (kind != 1 || what != 1 || section == 0 || key == 0) return nullptr;
  const std::string pair = std::string(reinterpret_cast<const char*>(section)) + "/" +
                           reinterpret_cast<const char*>(key);
  auto it = g_host->texts_.find(pair);
  return it != g_host->texts_.end() ? const_cast<char*>(it->second.c_str()) : nullptr;
}

}  // namespace hrztest
