// The hrzserver program as a user runs it: init, demo, serve, and a client in this process
// logging on over TCP.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/client_request.h"
#include "support/save_message.h"
#include "support/stores.h"
#include "xclidb.h"

extern char** environ;

namespace hrztest {
namespace {

// A child process of hrzserver with its standard input and output on pipes.
class Child {
 public:
  explicit Child(std::vector<std::string> args) {
    args.insert(args.begin(), HRZSERVER_PATH);
    int in[2], out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = fdopen(out[0], "r");
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (output_) fclose(output_);
    if (input_ >= 0) close(input_);
  }
  void Write(const std::string& text) {
    EXPECT_EQ(write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(input_);
    input_ = -1;
  }
  std::string Line() {
    char line[512];
    return fgets(line, sizeof line, output_) ? line : "";
  }
  std::string Rest() {
    std::string text;
    for (std::string line = Line(); !line.empty(); line = Line()) text += line;
    return text;
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Signal(int signal) { kill(pid_, signal); }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  FILE* output_ = nullptr;
};

// The location a serving child prints in its first line; empty when it prints none.
std::string ServedLocation(Child& serve) {
  const std::string banner = serve.Line();
  const std::size_t at = banner.find("tcp://");
  EXPECT_NE(at, std::string::npos) << banner;
  if (at == std::string::npos) return {};
  return banner.substr(at, banner.find_last_not_of("\r\n") + 1 - at);
}

TEST(DaemonTest, InitDemoServeAndASecondProcessLogsOnOverTcp) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  {
    Child init({"init", "--store", store});
    init.Write("typed-pw\ntyped-pw\n");  // no --admin-password: asked for twice
    EXPECT_NE(init.Rest().find("Created"), std::string::npos);
    EXPECT_EQ(init.Wait(), 0);
  }
  {
    Child again({"init", "--store", store, "--admin-password", "x"});
    EXPECT_EQ(again.Wait(), 1);  // never over an existing store
  }
  {
    Child demo({"demo", "--store", store});
    const std::string printed = demo.Rest();
    EXPECT_EQ(demo.Wait(), 0);
    for (const char* password :
         {"alice-pw1", "bob-pw1", "carol-pw1", "dave-pw1", "erin-pw1", "frank-pw1", "grace-pw1"}) {
      EXPECT_NE(printed.find(password), std::string::npos) << password;
    }
  }
  Child serve({"serve", "--store", store, "--listen", "127.0.0.1:0"});
  const std::string location = ServedLocation(serve);
  ASSERT_FALSE(location.empty());
  char error[256] = {};
  tagXCliDB* db = XCliDB_Open(location.c_str(), error, sizeof error);
  ASSERT_NE(db, nullptr) << error;
  int status = 0;
  EXPECT_EQ(XCliDB_Logon(db, "adm", "typed-pw", 1, &status, nullptr, 0), 1) << status;
  EXPECT_EQ(QueryText(db, "select CNAME from UUSR where CCODE = 'carol'"), "Carol Chen");
  XCliDB_Close(db);
  serve.Signal(SIGTERM);
  EXPECT_EQ(serve.Wait(), 0);
}

// A save that was answered survives the server's sudden end; one whose last message never
// came leaves no trace.
TEST(DaemonTest, AServerKilledInTheMiddleOfASaveKeepsOnlyWhatItAnswered) {
  TempDir dir;
  const std::string store = dir.File("org.db");
  CopySampleStore(store);
  Child serve({"serve", "--store", store, "--listen", "127.0.0.1:0"});
  const std::string location = ServedLocation(serve);
  ASSERT_FALSE(location.empty());
  Connection adm = TryLogon(location, "adm", kAdminPassword);
  ASSERT_TRUE(adm);
  namespace p = hrz::protocol;
  EXPECT_EQ(SendRequest(adm.get(), p::kRecordSaveLast,
                        SaveBody(UpdateOf(314), {Entry("UUSR.CNAME", "Answered")}))
                .status,
            p::kRecordSaved);
  EXPECT_EQ(SendRequest(adm.get(), p::kRecordSaveEarly,
                        SaveBody(UpdateOf(309), {Entry("UUSR.CNAME", "Never finished")}))
                .status,
            p::kRecordChunkKept);
  serve.Signal(SIGKILL);
  serve.Wait();
  EXPECT_EQ(StoreRows(store, "select CNAME from UUSR where NID in (309, 314) order by NID"),
            (std::vector<std::string>{"3:Bob Baker|", "3:Answered|"}));
}

TEST(DaemonTest, HelpNamesEveryCommandAndBadUseFails) {
  Child help({"--help"});
  const std::string text = help.Rest();
  EXPECT_EQ(help.Wait(), 0);
  for (const char* word : {"init", "demo", "serve", "--store", "--admin-password", "--listen"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word;
  }
  Child bad({"serve"});
  EXPECT_EQ(bad.Wait(), 2);
  TempDir dir;
  Child missing({"demo", "--store", dir.File("none.db")});
  EXPECT_EQ(missing.Wait(), 1);
}

}  // namespace
}  // namespace hrztest
