#include "options.h"

#include <cstdlib>
#include <cstring>

namespace hrzhost {

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* target) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      *target = argv[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--store" || arg == "--server") {
      if (!value(&options->location)) return false;
    } else if (arg == "--user") {
      if (!value(&options->user)) return false;
    } else if (arg == "--module") {
      if (!value(&options->modulePath)) return false;
    } else if (arg == "--screenshot") {
      if (!value(&options->screenshotDir)) return false;
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

const char* Usage() {
  return "usage: hrzhost [--store FILE | --server tcp://HOST:PORT] [--user CODE]\n"
         "               [--module LIBRARY] [--screenshot DIR]\n"
         "  Without --store the store in the user's data folder is used (created with the\n"
         "  sample organisation on first start; log on as adm with the password admin).\n"
         "  --screenshot DIR logs on as adm, saves a PNG of every dialog and exits.\n";
}

bool HasDisplay() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  // A platform chosen on purpose (offscreen, vnc...) needs no display.
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace hrzhost
