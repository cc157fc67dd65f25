#include "support/datenum.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace hrz {

double DateNumber(int year, int month, int day, int hour, int minute, int second) {
  double whole = year * 10000.0 + month * 100.0 + day;
  return whole + (hour * 10000.0 + minute * 100.0 + second) / 1000000.0;
}

double LocalDateNumber() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return DateNumber(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                    parts.tm_min, parts.tm_sec);
}

std::string FormatDateNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

int DayOfDateNumber(double value) {
  return static_cast<int>(std::floor(value));
}

}  // namespace hrz
