// A command module loaded with dlopen: its HRZCmd entry and nothing else.
#pragma once

#include <string>

#include "hrzlib.h"

namespace hrzhost {

class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Loads the library at path and finds its entry; false with a reason in *error.
  bool Load(const std::string& path, std::string* error);
  HRZCmdFunc Entry() const { return entry_; }

 private:
  void* handle_ = nullptr;
  HRZCmdFunc entry_ = nullptr;
};

}  // namespace hrzhost
