#pragma once
// What a log configuration asks for: the threshold and the outputs of the root logger, which every
// named logger of the library passes its lines to.
#include <cstdint>
#include <string>
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

}  // namespace QvMT4Connector::Implementation
