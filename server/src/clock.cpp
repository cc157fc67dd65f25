#include "clock.h"

#include <cmath>

#include "hrzserver/engine.h"

namespace hrzsrv {
namespace {

class SystemClockImpl final : public Clock {
 public:
  std::time_t Now() const override { return std::time(nullptr); }
};

}  // namespace

std::shared_ptr<const Clock> SystemClock() {
  static const auto clock = std::make_shared<SystemClockImpl>();
  return clock;
}

TimeFields LocalFields(std::time_t when) {
  std::tm parts{};
  localtime_r(&when, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

double DateNumberOf(std::time_t when) {
  const TimeFields t = LocalFields(when);
  return t.year * 10000.0 + t.month * 100.0 + t.day +
         (t.hour * 10000.0 + t.minute * 100.0 + t.second) / 1000000.0;
}

long long DayOf(double dateNumber) {
  return static_cast<long long>(std::floor(dateNumber));
}

}  // namespace hrzsrv
