// Command-line options of hrzhost.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "messages.h"

namespace hrzhost {

struct Options {
  std::string location;  // store file or tcp://host:port; empty: the default store
  std::string user = "adm";
  std::string modulePath;  // empty: the module built beside hrzhost
  std::string screenshotDir;
  std::optional<hrzcfg::MessageLanguage> language;  // --lang; none: the desktop's
  bool help = false;
  bool version = false;
  bool machineCode = false;  // print this machine's code and exit
};

// False with a reason in *error for an unknown option or a missing value.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);
const char* Usage();
// "hrzhost 0.1.0 (client version 100)" and a line break.
std::string VersionLine();

// The language of the texts shown: the one --lang names, else the desktop locale's
// ("de_DE" and the like), else English.
hrzcfg::MessageLanguage ShownLanguage(const Options& options, std::string_view localeName);

// True when a Qt platform can be expected to open windows here: one chosen on purpose, a
// Wayland display, a remote X display, or a local X display whose server listens.
bool HasDisplay();

}  // namespace hrzhost
