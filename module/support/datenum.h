// Date numbers: a date-time as the decimal number yyyymmdd.hhmmss; the whole part is the day.
#pragma once

#include <string>

namespace hrz {

double DateNumber(int year, int month, int day, int hour, int minute, int second);
// The local time now as a date number, for when the server's time cannot be had.
double LocalDateNumber();
// Written with six decimals, as "%f" does.
std::string FormatDateNumber(double value);
// The calendar day yyyymmdd of a date number.
int DayOfDateNumber(double value);

}  // namespace hrz
