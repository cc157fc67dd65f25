// hrzkrnd: the stand-in of the encryption driver, on local sockets, until interrupted.
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#include "hrzcommon/krn_socket.h"
#include "hrzkrnd/daemon.h"

namespace {

constexpr const char* kUsage =
    "usage: hrzkrnd [options]\n"
    "\n"
    "Answers the module's driver requests on one local socket per device until interrupted,\n"
    "and writes a line per request to standard error (or the log file).\n"
    "\n"
    "  --dir DIR           socket folder (default: $HRZKRND_DIR, else\n"
    "                      $XDG_RUNTIME_DIR/hrzkrnd, else /tmp/hrzkrnd-UID)\n"
    "  --log FILE          append the request lines to FILE instead\n"
    "  --device NAME       serve this device; repeat for several (default: PDKrn, PDKrnTc,\n"
    "                      KQHost)\n"
    "  --refuse PATTERN    refuse check-file-name for names matching the shell pattern; repeat\n"
    "  --probe-answer N    answer the probe with N instead of 311 (a wrong driver)\n"
    "  --reply-size N      answer requests with N bytes instead of 18 (a faulty driver)\n"
    "  --help              show this text\n";

struct Options {
  std::string folder = hrz::krn::SocketFolder();
  std::string logFile;
  hrzkrnd::DriverOptions driver;
  bool help = false;
};

bool ParseNumber(const std::string& text, unsigned long* value) {
  try {
    std::size_t used = 0;
    *value = std::stoul(text, &used);
    return used == text.size();
  } catch (...) {
    return false;
  }
}

bool ParseOptions(int argc, char** argv, Options* options) {
  bool devicesGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      options->help = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    unsigned long number = 0;
    if (arg == "--dir") {
      options->folder = value;
    } else if (arg == "--log") {
      options->logFile = value;
    } else if (arg == "--device") {
      if (!devicesGiven) options->driver.devices.clear();
      devicesGiven = true;
      options->driver.devices.push_back(value);
    } else if (arg == "--refuse") {
      options->driver.refusedNames.push_back(value);
    } else if (arg == "--probe-answer" && ParseNumber(value, &number) && number <= UINT32_MAX) {
      options->driver.probeAnswer = static_cast<std::uint32_t>(number);
    } else if (arg == "--reply-size" && ParseNumber(value, &number) &&
               number <= hrz::krn::kMaxOutput) {
      options->driver.replySize = number;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  if (options.help) {
    std::printf("%s", kUsage);
    return 0;
  }
  std::FILE* log = stderr;
  if (!options.logFile.empty()) {
    log = std::fopen(options.logFile.c_str(), "a");
    if (log == nullptr) {
      std::perror(options.logFile.c_str());
      return 1;
    }
  }
  std::mutex logMutex;
  auto sink = [log, &logMutex](std::string_view line) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", localtime_r(&now, &local));
    std::lock_guard lock(logMutex);
    std::fprintf(log, "%s %.*s\n", stamp, static_cast<int>(line.size()), line.data());
    std::fflush(log);
  };

  // The signals are taken by sigwait below, not by whichever thread they happen to reach.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  std::string error;
  std::unique_ptr<hrzkrnd::Daemon> daemon =
      hrzkrnd::Daemon::Start(options.folder, options.driver, sink, &error);
  if (!daemon) {
    std::fprintf(stderr, "hrzkrnd: %s\n", error.c_str());
    return 1;
  }
  std::string devices;
  for (const std::string& device : options.driver.devices) {
    devices += (devices.empty() ? "" : ", ") + device;
  }
  std::fprintf(stderr, "hrzkrnd: serving %s in %s until interrupted\n", devices.c_str(),
               options.folder.c_str());
  int signal = 0;
  sigwait(&stop, &signal);
  daemon.reset();
  std::fprintf(stderr, "hrzkrnd: stopped\n");
  return 0;
}
