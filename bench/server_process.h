// What the whole-program benches share: hrzserver processes on a store in a temporary
// folder, other programs they run beside it, clients on threads, and order statistics.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "xclidb.h"

namespace hrzbench {

// Prints "program: why" to standard error and ends the run.
[[noreturn]] void Die(const std::string& why);

// The value at fraction q (0..1) of the sorted values; 0 for none.
double Quantile(std::vector<double> values, double q);
inline double Median(std::vector<double> values) {
  return Quantile(std::move(values), 0.5);
}

// A child process; its standard output is read by line when asked for.
class ChildProcess {
 public:
  // Dies when the program cannot be started.
  explicit ChildProcess(std::vector<std::string> args, bool readOutput = true);
  ~ChildProcess();  // SIGTERM, then waits
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of its output without the line end; false at its end.
  bool ReadLine(std::string* line);
  // Waits for it to end; its exit status, -1 when it did not exit by itself.
  int Wait();
  // Ends it at once with SIGKILL, as a crash would.
  void Kill();
  // Processor time it has used so far, in seconds.
  double CpuSeconds() const;
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
  bool ended_ = false;
};

// An hrzserver serving store on a free loopback port, plain TCP or TLS: the one built
// beside the bench, or the program the environment's HRZSERVER names.
class ServerProcess {
 public:
  ServerProcess(const std::string& store, bool plain, std::vector<std::string> extraArgs = {});
  ChildProcess& process() { return process_; }
  const ChildProcess& process() const { return process_; }
  double CpuSeconds() const { return process_.CpuSeconds(); }

  std::string location;  // "tcp://..." or "tcp+plain://..."

 private:
  ChildProcess process_;
};

// Makes a store at path with the administrator's password and the sample organisation.
// "Lgn Err Try" is set to 0 so that failed logons never lock and keep costing a hash.
void MakeSampleStore(const std::string& path, const char* adminPassword);

// The store as MakeSampleStore makes it, copied into a new database of a throw-away
// PostgreSQL cluster (a folder of its own, a Unix socket, fsync off) that stops when the
// program ends; its location. Dies when PostgreSQL is not installed.
std::string MakeSamplePgStore(const std::string& folder, const char* adminPassword);

// Removes flag from the arguments; whether it was there.
bool TakeFlag(int* argc, char** argv, const char* flag);

// A connection to location logged on as code; dies when that fails.
tagXCliDB* LoggedOnTo(const std::string& location, const char* code, const char* password);

// Runs body(client) on each of clients threads at once and waits for them.
template <typename Body>
void OnClients(int clients, Body body) {
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) threads.emplace_back(body, c);
  for (std::thread& t : threads) t.join();
}

// Runs body(client) over and over on each of clients threads for seconds; how many calls
// returned true, all clients together.
template <typename Body>
long CountFor(int clients, double seconds, Body body) {
  std::atomic<long> done{0};
  std::atomic<bool> stop{false};
  std::thread timer([&] {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
  });
  OnClients(clients, [&](int client) {
    long mine = 0;
    while (!stop) mine += body(client) ? 1 : 0;
    done += mine;
  });
  timer.join();
  return done;
}

}  // namespace hrzbench
