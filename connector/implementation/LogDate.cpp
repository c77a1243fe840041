#include "connector/implementation/LogDate.h"

#include <cstdlib>

namespace QvMT4Connector::Implementation {
namespace {
// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's civil algorithms).
long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153L * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CalendarDate CivilFromDays(long z) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

void AppendNumber(std::string& out, long value, std::size_t width) {
  char digits[24];
  std::size_t n = 0;
  unsigned long v = static_cast<unsigned long>(value < 0 ? -value : value);
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0 && n < sizeof digits);
  if (value < 0) out.push_back('-');
  if (width > n) out.append(width - n, '0');
  while (n > 0) out.push_back(digits[--n]);
}

// Name of the month or day: abbreviated to three letters for a run of three, whole for four or more.
void AppendName(std::string& out, const char* name, std::size_t run) {
  out.append(name, run == 3 ? 3 : std::char_traits<char>::length(name));
}

// Fraction of the second in `run` digits ("f"), or with trailing zeros dropped ("F").
void AppendFraction(std::string& out, int millisecond, std::size_t run, bool trim) {
  if (run > 7) run = 7;
  std::string digits;
  AppendNumber(digits, millisecond, 3);
  digits.append(4, '0');  // .NET counts fractions in ten-millionths
  digits.resize(run);
  if (trim) {
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (digits.empty() && !out.empty() && out.back() == '.') out.pop_back();
  }
  out += digits;
}
}  // namespace

CalendarDate DateOf(const Platform::LocalTime& time) { return {time.year, time.month, time.day}; }

CalendarDate AddDays(const CalendarDate& date, int days) {
  return CivilFromDays(DaysFromCivil(date.year, date.month, date.day) + days);
}

Platform::LocalTime StartOf(const CalendarDate& date) {
  Platform::LocalTime t;
  t.year = date.year;
  t.month = date.month;
  t.day = date.day;
  return t;
}

void AppendDate(std::string& out, const Platform::LocalTime& t, std::string_view format) {
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    std::size_t run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    const std::size_t two = run >= 2 ? 2 : 1;
    switch (c) {
      case 'y':
        if (run <= 2) {
          AppendNumber(out, t.year % 100, run);
        } else {
          AppendNumber(out, t.year, run);
        }
        break;
      case 'M':
        if (run <= 2) {
          AppendNumber(out, t.month, run);
        } else if (t.month >= 1 && t.month <= 12) {
          AppendName(out, kMonths[t.month - 1], run);
        }
        break;
      case 'd':
        if (run <= 2) {
          AppendNumber(out, t.day, run);
        } else {
          const long weekday = ((DaysFromCivil(t.year, t.month, t.day) % 7) + 11) % 7;  // 1970-01-01: Thursday
          AppendName(out, kDays[weekday], run);
        }
        break;
      case 'H': AppendNumber(out, t.hour, two); break;
      case 'h': AppendNumber(out, t.hour % 12 == 0 ? 12 : t.hour % 12, two); break;
      case 'm': AppendNumber(out, t.minute, two); break;
      case 's': AppendNumber(out, t.second, two); break;
      case 'f': AppendFraction(out, t.millisecond, run, false); break;
      case 'F': AppendFraction(out, t.millisecond, run, true); break;
      case 't': out.append(t.hour < 12 ? "AM" : "PM", two); break;
      case '\'':
      case '"': {
        const std::size_t close = format.find(c, i + 1);
        const std::size_t end = close == std::string_view::npos ? format.size() : close;
        out.append(format.substr(i + 1, end - i - 1));
        run = end - i + (close == std::string_view::npos ? 0 : 1);
        break;
      }
      case '\\':
        if (i + 1 < format.size()) out.push_back(format[i + 1]);
        run = 2;
        break;
      case '%': run = 1; break;  // "%d": a single specifier standing alone
      default:
        out.push_back(c);
        run = 1;
        break;
    }
    i += run;
  }
}

std::string FormatDate(const Platform::LocalTime& time, std::string_view format) {
  std::string out;
  AppendDate(out, time, format);
  return out;
}

}  // namespace QvMT4Connector::Implementation
