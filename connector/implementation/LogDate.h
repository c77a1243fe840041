#pragma once
// Calendar dates and the .NET custom date-and-time format, shared by the log layout (%date{...})
// and the date-rolled file names (DatePattern).
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {

struct CalendarDate {
  int year = 1970, month = 1, day = 1;

  friend bool operator==(const CalendarDate& a, const CalendarDate& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
  }
  friend bool operator<(const CalendarDate& a, const CalendarDate& b) {
    if (a.year != b.year) return a.year < b.year;
    if (a.month != b.month) return a.month < b.month;
    return a.day < b.day;
  }
};

CalendarDate DateOf(const Platform::LocalTime& time);
CalendarDate AddDays(const CalendarDate& date, int days);
// Midnight at the start of the date.
Platform::LocalTime StartOf(const CalendarDate& date);

// Appends the time in a .NET custom format ("yyyy-MM-dd HH:mm:ss,fff", "'_'yyyy-MM-dd"), with the
// invariant culture's names and separators: y M d H h m s f F t, quoted literals, "\" escapes;
// any other character is copied.
void AppendDate(std::string& out, const Platform::LocalTime& time, std::string_view format);
std::string FormatDate(const Platform::LocalTime& time, std::string_view format);

}  // namespace QvMT4Connector::Implementation
