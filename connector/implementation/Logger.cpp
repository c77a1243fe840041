// Provisional logger: lines go to standard error until the log configuration is built.
#include "connector/implementation/Logger.h"

#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>

#include <map>
#include <mutex>

#include "connector/Globals.h"
#include "connector/Utils.h"
#include "connector/implementation/LogTesting.h"
#include "connector/interface/FLogger.h"

namespace QvMT4Connector::Implementation {
using Interface::LogValue;

namespace {
enum class Level { Debug, Info, Warn, Error, Fatal };

spdlog::level::level_enum ToSpd(Level l) {
  switch (l) {
    case Level::Debug: return spdlog::level::debug;
    case Level::Info: return spdlog::level::info;
    case Level::Warn: return spdlog::level::warn;
    case Level::Error: return spdlog::level::err;
    case Level::Fatal: return spdlog::level::critical;
  }
  return spdlog::level::err;
}

std::string Render(const LogValue& v) {
  switch (v.kind()) {
    case LogValue::Kind::Null: return "";
    case LogValue::Kind::Text: return std::string(v.text());
    case LogValue::Kind::Int: return Utils::FormatInt(v.intValue());
    case LogValue::Kind::Double: return Utils::FormatDouble(v.doubleValue());
    case LogValue::Kind::Bool: return Utils::FormatBool(v.boolValue());
  }
  return "";
}

std::string Fill(std::string_view format, const std::vector<LogValue>& args) {
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '{' && i + 1 < format.size() && format[i + 1] == '{') {
      out.push_back('{');
      ++i;
    } else if (c == '}' && i + 1 < format.size() && format[i + 1] == '}') {
      out.push_back('}');
      ++i;
    } else if (c == '{') {
      const auto close = format.find('}', i);
      std::size_t index = std::stoul(std::string(format.substr(i + 1, close - i - 1)));
      out += Render(args.at(index));
      i = close;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

struct Taps {
  std::mutex lock;
  int next = 1;
  std::map<int, LogTesting::Tap> taps;
};
Taps& taps() {
  static Taps* t = new Taps;
  return *t;
}

void Write(const std::shared_ptr<spdlog::logger>& log, Level level, std::string_view text) {
  try {
    {
      std::lock_guard<std::mutex> g(taps().lock);
      for (auto& [id, tap] : taps().taps) tap(static_cast<std::int32_t>(level) + 1, log->name(), text);
    }
    log->log(ToSpd(level), "{}", text);
  } catch (...) {
  }
}

void WriteFormat(const std::shared_ptr<spdlog::logger>& log, Level level, std::string_view format,
                 const std::vector<LogValue>& args) {
  try {
    Write(log, level, Fill(format, args));
  } catch (...) {
    Write(log, level, std::string("Invalid format: ") + std::string(format));
  }
}
}  // namespace

Logger::Logger(std::string_view name) {
  static std::mutex registryLock;
  std::lock_guard<std::mutex> g(registryLock);
  log = spdlog::get(std::string(name));
  if (!log) {
    log = spdlog::stderr_logger_mt(std::string(name));
    log->set_level(spdlog::level::debug);
  }
}

#define QV_LOG_FAMILY_DEF(Name)                                                                          \
  void Logger::Name(const LogValue& message) {                                                           \
    Write(log, Level::Name, message.kind() == LogValue::Kind::Null ? "(null)" : Render(message));        \
  }                                                                                                      \
  void Logger::Name(const LogValue& message, const std::exception& exception) {                          \
    Write(log, Level::Name, Render(message) + "\r\n" + exception.what());                                \
  }                                                                                                      \
  void Logger::Name##Format(std::string_view format, const std::vector<LogValue>& args) {                \
    WriteFormat(log, Level::Name, format, args);                                                         \
  }                                                                                                      \
  void Logger::Name##Format(std::string_view format, const LogValue& arg0) {                             \
    WriteFormat(log, Level::Name, format, {arg0});                                                       \
  }                                                                                                      \
  void Logger::Name##Format(std::string_view format, const LogValue& arg0, const LogValue& arg1) {       \
    WriteFormat(log, Level::Name, format, {arg0, arg1});                                                 \
  }                                                                                                      \
  void Logger::Name##Format(std::string_view format, const LogValue& arg0, const LogValue& arg1,         \
                            const LogValue& arg2) {                                                      \
    WriteFormat(log, Level::Name, format, {arg0, arg1, arg2});                                           \
  }                                                                                                      \
  void Logger::Name##Format(const Interface::IFormatProvider&, std::string_view format,                  \
                            const std::vector<LogValue>& args) {                                         \
    WriteFormat(log, Level::Name, format, args);                                                         \
  }
QV_LOG_FAMILY_DEF(Debug)
QV_LOG_FAMILY_DEF(Info)
QV_LOG_FAMILY_DEF(Warn)
QV_LOG_FAMILY_DEF(Error)
QV_LOG_FAMILY_DEF(Fatal)
#undef QV_LOG_FAMILY_DEF

bool Logger::IsDebugEnabled() const { return log->should_log(spdlog::level::debug); }
bool Logger::IsInfoEnabled() const { return log->should_log(spdlog::level::info); }
bool Logger::IsWarnEnabled() const { return log->should_log(spdlog::level::warn); }
bool Logger::IsErrorEnabled() const { return log->should_log(spdlog::level::err); }
bool Logger::IsFatalEnabled() const { return log->should_log(spdlog::level::critical); }

void Logger::logMT4(std::int32_t log_level, std::int32_t errorCode, std::string_view status,
                    std::string_view message) {
  const Level level = log_level == 1   ? Level::Debug
                      : log_level == 2 ? Level::Info
                      : log_level == 3 ? Level::Warn
                      : log_level == 5 ? Level::Fatal
                                       : Level::Error;
  const char* format = log_level == 1 ? "ZaRE4: ErrorCode:{0} : Status: {1} Message: {2}"
                                      : "ZaRE4: ErrorCode:{0} Status: {1} Message: {2}";
  WriteFormat(log, level, format, {errorCode, status, message});
}

namespace LogTesting {
int AddTap(Tap tap) {
  std::lock_guard<std::mutex> g(taps().lock);
  const int id = taps().next++;
  taps().taps.emplace(id, std::move(tap));
  return id;
}
void RemoveTap(int id) {
  std::lock_guard<std::mutex> g(taps().lock);
  taps().taps.erase(id);
}
}  // namespace LogTesting

}  // namespace QvMT4Connector::Implementation

namespace QvMT4Connector::Interface {
std::shared_ptr<ILogger> FLogger::Create(std::string_view name) {
  return std::make_shared<Implementation::Logger>(name);
}
}  // namespace QvMT4Connector::Interface
