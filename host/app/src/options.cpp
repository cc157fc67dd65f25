#include "options.h"

#include <cstddef>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "client_version.h"

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
    } else if (arg == "--version") {
      options->version = true;
    } else if (arg == "--machine-code") {
      options->machineCode = true;
    } else if (arg == "--store" || arg == "--server") {
      if (!value(&options->location)) return false;
    } else if (arg == "--user") {
      if (!value(&options->user)) return false;
    } else if (arg == "--module") {
      if (!value(&options->modulePath)) return false;
    } else if (arg == "--screenshot") {
      if (!value(&options->screenshotDir)) return false;
    } else if (arg == "--lang") {
      std::string name;
      if (!value(&name)) return false;
      options->language = hrzcfg::MessageLanguageNamed(name);
      if (!options->language) {
        *error = "--lang takes de or en, not " + name;
        return false;
      }
    } else {
      *error = "unknown option " + arg;
      return false;
    }
  }
  return true;
}

const char* Usage() {
  return "usage: hrzhost [--store FILE | --server tcp://HOST:PORT] [--user CODE]\n"
         "               [--module LIBRARY] [--screenshot DIR] [--lang de|en] [--version]\n"
         "               [--machine-code]\n"
         "  Without --store the store in the user's data folder is used (created with the\n"
         "  sample organisation on first start; log on as adm with the password admin).\n"
         "  --screenshot DIR logs on as adm, saves a PNG of every dialog in its window frame\n"
         "  and exits; it needs no display. On a machine without one, ./setup.sh run serves\n"
         "  the client to a VNC viewer.\n"
         "  --lang de|en shows the dialogs in German or English; without it the desktop's\n"
         "  language is used where a catalogue has it, English otherwise.\n"
         "  --machine-code prints the code this machine logs on with, to bind a user to it.\n";
}

std::string VersionLine() {
  return "hrzhost " + std::to_string(HRZ_VERSION_MAJOR) + "." + std::to_string(HRZ_VERSION_MINOR) +
         "." + std::to_string(HRZ_VERSION_PATCH) + " (client version " +
         std::to_string(kClientVersion) + ")\n";
}

hrzcfg::MessageLanguage ShownLanguage(const Options& options, std::string_view localeName) {
  if (options.language) return *options.language;
  return hrzcfg::MessageLanguageNamed(localeName).value_or(hrzcfg::MessageLanguage::English);
}

namespace {

// Whether an X server listens on the local display ":N" (file or abstract socket).
bool LocalXServerListens(const std::string& display) {
  std::string number = display.substr(display.find(':') + 1);
  number = number.substr(0, number.find('.'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return false;
  std::string path = "/tmp/.X11-unix/X" + number;
  for (bool abstract : {false, true}) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // An abstract name starts with a zero byte and is not a file.
    std::memcpy(address.sun_path + (abstract ? 1 : 0), path.c_str(), path.size());
    socklen_t length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 1 : 0));
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    close(fd);
    if (connected) return true;
  }
  return false;
}

}  // namespace

bool HasDisplay() {
  auto value = [](const char* name) {
    const char* text = std::getenv(name);
    return std::string(text != nullptr ? text : "");
  };
  // A platform chosen on purpose (offscreen, vnc...) needs no display.
  if (!value("QT_QPA_PLATFORM").empty() || !value("WAYLAND_DISPLAY").empty()) return true;
  std::string display = value("DISPLAY");
  if (display.empty()) return false;
  // A display on another machine cannot be checked from here; a local one can.
  bool local = display[0] == ':' || display.rfind("unix:", 0) == 0;
  return !local || LocalXServerListens(display);
}

}  // namespace hrzhost
