// The server's log lines: one logfmt line per event, values quoted where a reader would
// misread them, and events below the chosen level dropped.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "hrzserver/log.h"

namespace hrzsrv {
namespace {

TEST(ServerLog, OneLineOfKeyAndValuePairsWithQuotedValuesWhereNeeded) {
  using namespace std::chrono;
  const system_clock::time_point when = sys_days{2026y / 12 / 11} + 8h + 15min + 2s + 123ms;
  struct Case {
    LogLevel level;
    const char* message;
    std::initializer_list<LogField> fields;
    const char* line;
  };
  const Case cases[] = {
      {LogLevel::Info,
       "logon",
       {{"peer", "10.0.0.7"}, {"user", "alice"}},
       "ts=2026-12-11T08:15:02.123Z level=info msg=logon peer=10.0.0.7 user=alice"},
      {LogLevel::Warn,
       "cannot accept connections",
       {{"reason", "Too many open files"}},
       R"(ts=2026-12-11T08:15:02.123Z level=warn msg="cannot accept connections" )"
       R"(reason="Too many open files")"},
      {LogLevel::Error,
       "x",
       {{"empty", ""}, {"quote", "say \"hi\" \\o/"}},
       R"(ts=2026-12-11T08:15:02.123Z level=error msg=x empty="" quote="say \"hi\" \\o/")"},
      // A value cannot start a line of its own or forge a field.
      {LogLevel::Debug,
       "line\nbreak",
       {{"user", "bob level=error"}, {"bell", "\a\r\t"}},
       R"(ts=2026-12-11T08:15:02.123Z level=debug msg="line\nbreak" user="bob level=error" )"
       R"(bell="\x07\r\t")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatLogLine(when, c.level, c.message, c.fields), c.line);
  }
}

TEST(ServerLog, EventsBelowTheLevelAreDropped) {
  std::vector<std::string> lines;
  SetLogSink([&lines](const std::string& line) { lines.push_back(line); });
  struct Case {
    const char* name;
    std::vector<const char*> kept;  // of error, warn, info, debug
  };
  const Case cases[] = {
      {"error", {"level=error"}},
      {"warn", {"level=error", "level=warn"}},
      {"info", {"level=error", "level=warn", "level=info"}},
      {"debug", {"level=error", "level=warn", "level=info", "level=debug"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(LogLevelNamed(c.name)) << c.name;
    SetLogLevel(*LogLevelNamed(c.name));
    lines.clear();
    for (LogLevel level : {LogLevel::Error, LogLevel::Warn, LogLevel::Info, LogLevel::Debug}) {
      Log(level, "event");
    }
    ASSERT_EQ(lines.size(), c.kept.size()) << c.name;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_NE(lines[i].find(std::string(" ") + c.kept[i] + " msg=event"), std::string::npos)
          << lines[i];
    }
  }
  for (const char* bad : {"", "Info", "verbose", "warning"})
    EXPECT_FALSE(LogLevelNamed(bad)) << bad;
  SetLogSink(nullptr);
  SetLogLevel(LogLevel::Error);
}

}  // namespace
}  // namespace hrzsrv
