#include "support/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace hrztest {

ChildProcess::ChildProcess(const std::string& program, std::vector<std::string> args,
                           const ChildSetup& setup) {
  args.insert(args.begin(), program);
  int in[2], out[2];
  EXPECT_EQ(pipe(in), 0);
  EXPECT_EQ(pipe(out), 0);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int errors =
      setup.errors.empty() ? -1 : ::open(setup.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const rlimit limit{static_cast<rlim_t>(setup.maxDescriptors),
                     static_cast<rlim_t>(setup.maxDescriptors)};
  pid_ = fork();
  if (pid_ == 0) {  // only calls that are safe between fork and exec
    dup2(in[0], 0);
    dup2(out[1], 1);
    if (errors >= 0) dup2(errors, 2);
    if (setup.maxDescriptors > 0) setrlimit(RLIMIT_NOFILE, &limit);
    execve(argv[0], argv.data(), environ);
    _exit(127);
  }
  EXPECT_GT(pid_, 0);
  if (errors >= 0) close(errors);
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  output_ = fdopen(out[0], "r");
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait();
  }
  if (output_) fclose(output_);
  if (input_ >= 0) close(input_);
}

void ChildProcess::Write(const std::string& text) {
  EXPECT_EQ(write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(input_);
  input_ = -1;
}

std::string ChildProcess::Line() {
  char line[512];
  return fgets(line, sizeof line, output_) ? line : "";
}

std::string ChildProcess::Rest() {
  std::string text;
  for (std::string line = Line(); !line.empty(); line = Line()) text += line;
  return text;
}

int ChildProcess::Wait() {
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Signal(int signal) {
  kill(pid_, signal);
}

std::chrono::milliseconds ChildProcess::CpuTime() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long long user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::stoll(field);
    if (i == 15) system = std::stoll(field);
  }
  return std::chrono::milliseconds((user + system) * 1000 / sysconf(_SC_CLK_TCK));
}

std::string ServedLocation(ChildProcess& serve) {
  // "Serving STORE on LOCATION"
  const std::string banner = serve.Line();
  const std::size_t on = banner.rfind(" on tcp");
  EXPECT_NE(on, std::string::npos) << banner;
  if (on == std::string::npos) return {};
  const std::size_t at = on + 4;
  return banner.substr(at, banner.find_last_not_of("\r\n") + 1 - at);
}

}  // namespace hrztest
