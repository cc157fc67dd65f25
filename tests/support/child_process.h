// A program run as a child of the test, its standard input and output on pipes: the server
// program as an administrator starts it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace hrztest {

// How a child starts beyond its arguments.
struct ChildSetup {
  int maxDescriptors = 0;  // its RLIMIT_NOFILE; 0 leaves this process's
  std::string errors;      // a file for its standard error; empty: this process's
};

class ChildProcess {
 public:
  ChildProcess(const std::string& program, std::vector<std::string> args,
               const ChildSetup& setup = {});
  // Kills the child when it still runs.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Writes text to its standard input and closes it.
  void Write(const std::string& text);
  // The next line of its output; empty at the end.
  std::string Line();
  // Its output to the end.
  std::string Rest();
  // Its exit status once it ends; -1 when a signal ended it.
  int Wait();
  void Signal(int signal);
  // Processor time the child has used so far.
  std::chrono::milliseconds CpuTime() const;

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  FILE* output_ = nullptr;
};

// The location (tcp:// or tcp+plain://) a serving hrzserver prints in its first line; empty
// (and the test failed) when it prints none.
std::string ServedLocation(ChildProcess& serve);

}  // namespace hrztest
