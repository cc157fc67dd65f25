#include "hrzserver/log.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <utility>

namespace hrzsrv {
namespace {

constexpr const char* kLevelNames[] = {"error", "warn", "info", "debug"};

std::atomic<LogLevel> g_level{LogLevel::Error};
std::mutex g_sinkMutex;
std::function<void(const std::string&)> g_sink;  // guarded by g_sinkMutex

bool IsBare(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-._:/@+,").find(c) != std::string_view::npos;
}

void AppendValue(std::string* line, std::string_view value) {
  bool bare = !value.empty();
  for (char c : value) bare = bare && IsBare(c);
  if (bare) {
    line->append(value);
    return;
  }
  *line += '"';
  for (char c : value) {
    switch (c) {
      case '"':
        *line += "\\\"";
        break;
      case '\\':
        *line += "\\\\";
        break;
      case '\n':
        *line += "\\n";
        break;
      case '\r':
        *line += "\\r";
        break;
      case '\t':
        *line += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char escaped[5];
          std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
          *line += escaped;
        } else {
          *line += c;
        }
    }
  }
  *line += '"';
}

}  // namespace

std::optional<LogLevel> LogLevelNamed(std::string_view name) {
  for (int i = 0; i < 4; ++i) {
    if (name == kLevelNames[i]) return static_cast<LogLevel>(i);
  }
  return std::nullopt;
}

void SetLogLevel(LogLevel level) {
  g_level = level;
}

bool LogEnabled(LogLevel level) {
  return level <= g_level.load(std::memory_order_relaxed);
}

std::string FormatLogLine(std::chrono::system_clock::time_point when, LogLevel level,
                          std::string_view message, std::initializer_list<LogField> fields) {
  using namespace std::chrono;
  const auto millis = duration_cast<milliseconds>(when.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[80];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(millis % 1000));
  std::string line = std::string("ts=") + stamp + " level=" + kLevelNames[static_cast<int>(level)];
  line += " msg=";
  AppendValue(&line, message);
  for (const LogField& field : fields) {
    line += ' ';
    line.append(field.key);
    line += '=';
    AppendValue(&line, field.value);
  }
  return line;
}

void Log(LogLevel level, std::string_view message, std::initializer_list<LogField> fields) {
  if (!LogEnabled(level)) return;
  const std::string line = FormatLogLine(std::chrono::system_clock::now(), level, message, fields);
  std::lock_guard lock(g_sinkMutex);
  if (g_sink) {
    g_sink(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

void SetLogSink(std::function<void(const std::string& line)> sink) {
  std::lock_guard lock(g_sinkMutex);
  g_sink = std::move(sink);
}

}  // namespace hrzsrv
