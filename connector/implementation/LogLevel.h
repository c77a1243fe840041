#pragma once
// The five levels of the library's loggers, numbered like the Expert Advisor's log call.
#include <cstdint>

#include "connector/Globals.h"

namespace QvMT4Connector::Implementation {

enum class LogLevel : std::int32_t {
  Debug = Globals::LOG_DEBUG,
  Info = Globals::LOG_INFO,
  Warn = Globals::LOG_WARN,
  Error = Globals::LOG_ERROR,
  Fatal = Globals::LOG_FATAL,
};

// A threshold admits every level at or above it; these two admit all and none.
constexpr std::int32_t kThresholdAll = 0;
constexpr std::int32_t kThresholdOff = Globals::LOG_FATAL + 1;

// The name written to the log: "DEBUG", "INFO", "WARN", "ERROR", "FATAL".
inline const char* LevelName(LogLevel level) {
  switch (level) {
    case LogLevel::Debug: return "DEBUG";
    case LogLevel::Info: return "INFO";
    case LogLevel::Warn: return "WARN";
    case LogLevel::Error: return "ERROR";
    case LogLevel::Fatal: return "FATAL";
  }
  return "ERROR";
}

}  // namespace QvMT4Connector::Implementation
