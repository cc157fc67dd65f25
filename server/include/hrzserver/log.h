// The server's log: one line per event on standard error, in logfmt, for example
//   ts=2026-12-11T08:15:02.123Z level=warn msg="cannot accept connections" reason="..."
// ts is UTC with milliseconds; level is error, warn, info or debug; then msg and the
// event's fields in order. A value is written bare when it is not empty and holds only
// letters, digits and "-._:/@+,"; else in double quotes with \" \\ \n \r \t escaped and
// other control bytes as \xNN. Never pass a password, a hash or a sealed password.
// Thread-safe: each line is written whole.
#pragma once

#include <chrono>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace hrzsrv {

enum class LogLevel { Error, Warn, Info, Debug };

struct LogField {
  std::string_view key;
  std::string_view value;
};

// "error", "warn", "info" or "debug"; none for anything else.
std::optional<LogLevel> LogLevelNamed(std::string_view name);

// Events less severe than level are dropped. Error until a program chooses (hrzserver serve
// takes info unless told), so that an engine inside another program stays quiet.
void SetLogLevel(LogLevel level);
bool LogEnabled(LogLevel level);

std::string FormatLogLine(std::chrono::system_clock::time_point when, LogLevel level,
                          std::string_view message, std::initializer_list<LogField> fields);

void Log(LogLevel level, std::string_view message, std::initializer_list<LogField> fields = {});

// Where lines go, each without its line break; null: standard error.
void SetLogSink(std::function<void(const std::string& line)> sink);

}  // namespace hrzsrv
