// The server's time as fields and as a date number yyyymmdd.hhmmss (local time).
#pragma once

#include <ctime>

namespace hrzsrv {

struct TimeFields {
  int year, month, day, hour, minute, second;
};
TimeFields LocalFields(std::time_t when);
double DateNumberOf(std::time_t when);
// The calendar day yyyymmdd of a date number.
long long DayOf(double dateNumber);

}  // namespace hrzsrv
