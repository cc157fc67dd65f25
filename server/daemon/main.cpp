// hrzserver: creates stores, fills the sample organisation and serves a store over TCP.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "hrzserver/backup.h"
#include "hrzserver/engine.h"
#include "hrzserver/log.h"
#include "hrzserver/pg_db.h"
#include "hrzserver/tcp_server.h"
#include "hrzserver/tls_identity.h"
#include "migrate_command.h"

namespace {

constexpr const char* kUsage =
    "usage: hrzserver COMMAND --store PATH [options]\n"
    "\n"
    "PATH is a store file, or postgresql://... for a store in a PostgreSQL database.\n"
    "\n"
    "  init  --store PATH [--admin-password PW]\n"
    "        Create a new store with the administrator \"adm\" (on PostgreSQL: in an\n"
    "        empty database). Without --admin-password the password is asked for on the\n"
    "        terminal.\n"
    "  demo  --store PATH\n"
    "        Add the sample organisation to a store made by init, and print every\n"
    "        sample user with its password.\n"
    "  serve --store PATH [--listen HOST:PORT] [--plain] [--max-connections N]\n"
    "        [--idle-before-logon SECONDS] [--idle-after-logon SECONDS]\n"
    "        [--statement-limit SECONDS] [--workers N]\n"
    "        Answer clients over TLS (default 127.0.0.1:7400) until interrupted; they\n"
    "        connect with the location tcp://HOST:PORT and pin the certificate whose\n"
    "        fingerprint is printed at the start. --plain serves plain TCP instead, on a\n"
    "        loopback address only (location tcp+plain://HOST:PORT), for tests and\n"
    "        measurements. Defaults: 256 connections, 10 s of silence before a logon and\n"
    "        no limit after it, 30 s for a statement, 8 workers.\n"
    "  backup --store PATH --to FILE\n"
    "        Copy a store to the new file FILE while servers keep using it; the copy is\n"
    "        checked and readable by its owner only. An existing FILE is never overwritten.\n"
    "        A postgresql:// store is copied with pg_dump instead.\n"
    "  serve ... --log-level error|warn|info|debug\n"
    "        Log lines go to standard error, one event each: ts=... level=... msg=\"...\"\n"
    "        and the event's fields (logfmt). Default: info.\n"
    "  migrate --from PATH --to postgresql://...\n"
    "        Copy the organisation of the store PATH, users' password hashes and files\n"
    "        included, into an empty PostgreSQL database in one transaction\n"
    "        (docs/postgresql.md).\n"
    "  certificate --store PATH\n"
    "        Print the server's certificate (PEM) and its SHA-256 fingerprint, for a\n"
    "        client's CA file or to compare with what a client shows.\n"
    "  --help\n"
    "        Show this text.\n";

struct Options {
  std::string command, store, adminPassword, listen = "127.0.0.1:7400";
  bool hasAdminPassword = false;
  hrzsrv::ServerOptions server;
  hrzsrv::EngineLimits limits;
  std::string backupTarget;  // backup --to
  hrzsrv::LogLevel logLevel = hrzsrv::LogLevel::Info;
};

// A positive number of seconds, fractions allowed, as milliseconds.
bool ParseSeconds(const char* text, std::chrono::milliseconds* out) {
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(seconds >= 0) || seconds > 1e7) return false;
  *out = std::chrono::milliseconds(std::llround(seconds * 1000));
  return true;
}

bool ParseCount(const char* text, int* out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 1000000) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  if (argc < 2) return false;
  options->command = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--plain") {
      options->server.plain = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    bool ok = true;
    if (arg == "--store") {
      options->store = value;
    } else if (arg == "--admin-password") {
      options->adminPassword = value;
      options->hasAdminPassword = true;
    } else if (arg == "--listen") {
      options->listen = value;
    } else if (arg == "--max-connections") {
      ok = ParseCount(value, &options->server.maxConnections);
    } else if (arg == "--workers") {
      ok = ParseCount(value, &options->server.workers);
    } else if (arg == "--idle-before-logon") {
      ok = ParseSeconds(value, &options->server.idleBeforeLogon);
    } else if (arg == "--idle-after-logon") {
      ok = ParseSeconds(value, &options->server.idleAfterLogon);
    } else if (arg == "--statement-limit") {
      ok = ParseSeconds(value, &options->limits.statementTimeLimit);
    } else if (arg == "--to") {
      options->backupTarget = value;
    } else if (arg == "--log-level") {
      const std::optional<hrzsrv::LogLevel> level = hrzsrv::LogLevelNamed(value);
      ok = level.has_value();
      if (ok) options->logLevel = *level;
    } else {
      ok = false;
    }
    if (!ok) return false;
  }
  return !options->store.empty();
}

std::string ReadHidden(const char* prompt) {
  std::fprintf(stderr, "%s", prompt);
  termios saved{};
  const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  std::fprintf(stderr, "\n");
  return line;
}

int Init(const Options& options) {
  std::string password = options.adminPassword;
  if (!options.hasAdminPassword) {
    password = ReadHidden("Password for adm: ");
    if (ReadHidden("Again: ") != password) {
      std::fprintf(stderr, "hrzserver: the passwords differ\n");
      return 1;
    }
  }
  std::string error;
  if (!hrzsrv::CreateStore(options.store, password, &error)) {
    std::fprintf(stderr, "hrzserver: %s\n", error.c_str());
    return 1;
  }
  std::printf("Created %s with the administrator adm.\n", options.store.c_str());
  return 0;
}

int Demo(const Options& options) {
  std::vector<hrzsrv::SampleAccount> accounts;
  std::string error;
  if (!hrzsrv::pg::IsPostgresLocation(options.store) &&
      ::access(options.store.c_str(), F_OK) != 0) {
    std::fprintf(stderr, "hrzserver: %s does not exist; run hrzserver init first\n",
                 options.store.c_str());
    return 1;
  }
  if (!hrzsrv::AddSampleOrganisation(options.store, &accounts, &error)) {
    std::fprintf(stderr, "hrzserver: %s\n", error.c_str());
    return 1;
  }
  std::printf("Added the sample organisation to %s. Sample users:\n", options.store.c_str());
  std::printf("  %-12s %-12s %s\n", "code", "password", "note");
  for (const hrzsrv::SampleAccount& a : accounts) {
    std::printf("  %-12s %-12s %s\n", a.code.c_str(), a.password.c_str(), a.note.c_str());
  }
  std::printf("The administrator adm keeps the password given to init.\n");
  return 0;
}

int Certificate(const Options& options) {
  hrzsrv::TlsIdentity identity;
  std::string error;
  if (!hrzsrv::LoadTlsIdentity(options.store, &identity, &error)) {
    std::fprintf(stderr, "hrzserver: %s\n", error.c_str());
    return 1;
  }
  std::printf("%sSHA-256 fingerprint: %s\n", identity.certificatePem.c_str(),
              hrzsrv::CertificateFingerprint(identity.certificatePem).c_str());
  return 0;
}

int Backup(const Options& options) {
  if (options.backupTarget.empty()) {
    std::fprintf(stderr, "hrzserver: backup needs --to FILE\n");
    return 2;
  }
  std::string error;
  if (!hrzsrv::BackupStore(options.store, options.backupTarget, &error)) {
    std::fprintf(stderr, "hrzserver: %s\n", error.c_str());
    return 1;
  }
  std::printf("Copied %s to %s.\n", options.store.c_str(), options.backupTarget.c_str());
  return 0;
}

int Serve(Options options) {
  hrzsrv::SetLogLevel(options.logLevel);
  const std::size_t colon = options.listen.rfind(':');
  if (colon == std::string::npos) {
    std::fprintf(stderr, "hrzserver: --listen wants HOST:PORT\n");
    return 2;
  }
  hrzsrv::ServerOptions& server = options.server;
  server.host = options.listen.substr(0, colon);
  const long port = std::strtol(options.listen.c_str() + colon + 1, nullptr, 10);
  if (port < 0 || port > 65535) {
    std::fprintf(stderr, "hrzserver: bad port in %s\n", options.listen.c_str());
    return 2;
  }
  server.port = static_cast<std::uint16_t>(port);
  if (server.plain && !hrzsrv::IsLoopbackHost(server.host)) {
    std::fprintf(stderr, "hrzserver: --plain serves loopback addresses only, not %s\n",
                 server.host.c_str());
    return 2;
  }
  // Block the stop signals before any thread starts so that only sigwait sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::string error;
  std::unique_ptr<hrzsrv::Engine> engine =
      hrzsrv::Engine::Open(options.store, nullptr, &error, options.limits);
  if (!engine || (!server.plain && !hrzsrv::LoadTlsIdentity(options.store, &server.tls, &error))) {
    std::fprintf(stderr, "hrzserver: %s\n", error.c_str());
    return 1;
  }
  std::unique_ptr<hrzsrv::TcpServer> listener = hrzsrv::TcpServer::Start(*engine, server, &error);
  if (!listener) {
    std::fprintf(stderr, "hrzserver: %s\n", error.c_str());
    return 1;
  }
  std::printf("Serving %s on %s://%s:%u\n", options.store.c_str(),
              server.plain ? "tcp+plain" : "tcp", server.host.c_str(), listener->port());
  if (server.plain) {
    std::printf("Plain TCP: nothing is encrypted.\n");
  } else {
    std::printf("Certificate SHA-256 fingerprint: %s\n",
                hrzsrv::CertificateFingerprint(server.tls.certificatePem).c_str());
  }
  std::fflush(stdout);
  const std::string address = std::string(server.plain ? "tcp+plain://" : "tcp://") + server.host +
                              ":" + std::to_string(listener->port());
  hrzsrv::Log(hrzsrv::LogLevel::Info, "serving", {{"store", options.store}, {"address", address}});
  int received = 0;
  sigwait(&stopSignals, &received);
  hrzsrv::Log(hrzsrv::LogLevel::Info, "stopping", {{"signal", strsignal(received)}});
  listener->Stop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("%s", kUsage);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "migrate") == 0) return hrzdaemon::RunMigrate(argc, argv);
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  // backup answers a PostgreSQL store with the advice to use pg_dump.
  if (options.command == "backup") return Backup(options);
  if (options.command == "init") return Init(options);
  if (options.command == "demo") return Demo(options);
  if (options.command == "serve") return Serve(options);
  if (options.command == "certificate") return Certificate(options);
  std::fprintf(stderr, "%s", kUsage);
  return 2;
}
