#include "connector/implementation/DateRolledFile.h"

#include <algorithm>
#include <cctype>
#include <system_error>
#include <vector>

#include "connector/implementation/LogDiagnostic.h"

namespace QvMT4Connector::Implementation {
namespace fs = std::filesystem;

namespace {
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}
}  // namespace

DateRolledFile::DateRolledFile(const RollingFileSettings& settings, const Platform::LocalTime& now)
    : settings_(settings), date_(DateOf(now)) {
  const fs::path base = ConfiguredPath(settings.file, Platform::ExecutableDirectory());
  folder_ = base.parent_path();
  const std::string name = base.filename().string();
  const auto dot = name.rfind('.');
  if (settings.preserveExtension && dot != std::string::npos && dot > 0) {
    stem_ = name.substr(0, dot);
    extension_ = name.substr(dot);
  } else {
    stem_ = name;
  }
  CleanUp(date_);
  Open(date_);
}

std::string DateRolledFile::DatedPrefix(const CalendarDate& date) const {
  return stem_ + FormatDate(StartOf(date), settings_.datePattern);
}

fs::path DateRolledFile::FileOf(const CalendarDate& date) const { return folder_ / (DatedPrefix(date) + extension_); }

void DateRolledFile::Open(const CalendarDate& date) {
  date_ = date;
  file_.reset();
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec) {
    LogDiagnostic("cannot make the log folder " + folder_.string() + ": " + ec.message() + "; nothing is written");
    return;
  }
  const fs::path path = FileOf(date);
  try {
    file_ = std::make_unique<Platform::LockedFile>(path.string(), !settings_.appendToFile);
  } catch (const std::exception& e) {
    LogDiagnostic(std::string(e.what()) + "; nothing is written until the next day or configuration");
  }
}

void DateRolledFile::Write(const Platform::LocalTime& now, std::string_view line) {
  const CalendarDate today = DateOf(now);
  if (date_ < today) {
    CleanUp(today);
    file_.reset();
    // Appends like the opening does: a file of that date may already hold lines (another process,
    // a clock set back), and they must not be lost.
    Open(today);
  }
  if (file_) file_->Append(line);
}

void DateRolledFile::CleanUp(const CalendarDate& today) const {
  if (settings_.maxDateRollBackups < 0) return;
  // Beyond a century of dates every real file is kept anyway; the bound keeps a huge setting cheap.
  const int backups = std::min(settings_.maxDateRollBackups, 36525);
  std::vector<std::string> kept;
  for (int back = 0; back <= backups; ++back) kept.push_back(DatedPrefix(AddDays(today, -back)));

  std::vector<fs::path> doomed;
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (!it->is_regular_file(typeError) || !StartsWithIgnoringCase(name, stem_)) continue;
    const bool keep = std::any_of(kept.begin(), kept.end(),
                                  [&](const std::string& prefix) { return name.compare(0, prefix.size(), prefix) == 0; });
    if (!keep) doomed.push_back(it->path());
  }
  if (ec && ec != std::errc::no_such_file_or_directory) {
    LogDiagnostic("cannot list the log folder " + folder_.string() + ": " + ec.message());
  }
  // A file that cannot go now comes up again at the next clean-up.
  for (const fs::path& file : doomed) {
    std::error_code removeError;
    if (!fs::remove(file, removeError) && removeError) {
      LogDiagnostic("cannot delete the old log file " + file.string() + ": " + removeError.message());
    }
  }
}

}  // namespace QvMT4Connector::Implementation
