#pragma once
// The date-rolled log file: one file per local date, named from the base file and the date pattern,
// with the files of dates beyond the kept ones deleted.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "connector/implementation/LogDate.h"
#include "connector/implementation/LogSettings.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {

class DateRolledFile {
 public:
  // Resolves the base file against the executable's folder, cleans up and opens the file of now's
  // date. Failures go to the diagnostic channel; the output then writes nothing until the next roll.
  DateRolledFile(const RollingFileSettings& settings, const Platform::LocalTime& now);

  // Writes one line logged at `now`, first rolling to now's file when its date has begun.
  // Throws std::runtime_error when the write fails.
  void Write(const Platform::LocalTime& now, std::string_view line);

  // The file that holds the lines of a date.
  std::filesystem::path FileOf(const CalendarDate& date) const;

 private:
  void Open(const CalendarDate& date);
  void CleanUp(const CalendarDate& today) const;
  std::string DatedPrefix(const CalendarDate& date) const;

  RollingFileSettings settings_;
  std::filesystem::path folder_;
  std::string stem_;       // the name that every file of this output begins with
  std::string extension_;  // ".log" after the date, when the extension is preserved
  CalendarDate date_;      // the date of the file opened last
  std::unique_ptr<Platform::LockedFile> file_;
};

}  // namespace QvMT4Connector::Implementation
