#pragma once
// What a log configuration asks for: the threshold and the outputs of the root logger, which every
// named logger of the library passes its lines to.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "connector/Globals.h"

namespace QvMT4Connector::Implementation {

// A file per local date, named from the base file and the date pattern.
struct RollingFileSettings {
  std::string file;                  // base file, "\" or "/" separated; relative to the executable's folder
  std::string datePattern = ".yyyy-MM-dd";  // .NET date format of the suffix
  bool appendToFile = true;          // false empties the file at every opening
  int maxDateRollBackups = -1;       // dates kept before today; negative keeps every file
  bool preserveExtension = false;    // the date goes before the extension instead of after the name
};

struct AppenderSettings {
  enum class Kind { RollingFile, Console };
  Kind kind = Kind::RollingFile;
  std::string name;
  std::string pattern;               // PatternLayout conversion pattern
  bool standardError = false;        // Console: standard error instead of standard output
  RollingFileSettings rollingFile;   // RollingFile
};

struct LogSettings {
  std::int32_t threshold = Globals::LOG_DEBUG;  // kThresholdAll .. kThresholdOff
  std::vector<AppenderSettings> appenders;
};

// A path as configurations write it ("experts\logs\x.log"), resolved against a folder when relative.
// "/" separates on every system we build for, so "\" becomes "/".
inline std::filesystem::path ConfiguredPath(std::string_view path, const std::string& folder) {
  std::string generic(path);
  std::replace(generic.begin(), generic.end(), '\\', '/');
  const std::filesystem::path p(generic);
  return (p.is_absolute() ? p : std::filesystem::path(folder) / p).lexically_normal();
}

}  // namespace QvMT4Connector::Implementation
