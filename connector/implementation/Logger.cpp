#include "connector/implementation/Logger.h"

#include <cstddef>
#include <stdexcept>
#include <string>

#include "connector/Utils.h"
#include "connector/implementation/LogConfiguration.h"
#include "connector/implementation/LogDiagnostic.h"
#include "connector/implementation/LogLevel.h"
#include "connector/implementation/LogRepository.h"

namespace QvMT4Connector::Implementation {
using Interface::IFormatProvider;
using Interface::LogValue;

const char Logger::config2[] = R"(<log4net>
  <appender name="RollingFile" type="log4net.Appender.RollingFileAppender">
    <file type="log4net.Util.PatternString" value="experts\logs\QvMT4Connector\QvMT4Connector.log" />
    <param name="DatePattern" value="'_'yyyy-MM-dd" />
    <param name="AppendToFile" value="true" />
    <param name="RollingStyle" value="Date" />
    <param name="StaticLogFileName" value="false" />
    <param name="MaxDateRollBackups" value="30" />
    <param name="preserveLogFileNameExtension" value="true" />
    <layout type="log4net.Layout.PatternLayout">
      <param name="ConversionPattern" value="%date|%-5p|%logger|%message%newline" />
    </layout>
  </appender>
  <root>
    <level value="DEBUG" />
    <appender-ref ref="RollingFile" />
  </root>
</log4net>
)";

namespace {
constexpr char kNullMessage[] = "(null)";

// The culture-neutral text forms; a missing text is empty.
void AppendNeutral(std::string& out, const LogValue& value) {
  switch (value.kind()) {
    case LogValue::Kind::Null: break;
    case LogValue::Kind::Text: out.append(value.text()); break;
    case LogValue::Kind::Int: out += Utils::FormatInt(value.intValue()); break;
    case LogValue::Kind::Double: out += Utils::FormatDouble(value.doubleValue()); break;
    case LogValue::Kind::Bool: out += Utils::FormatBool(value.boolValue()); break;
  }
}

struct Values {
  const LogValue* items;
  std::size_t count;
};

class FormatError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Replaces each "{n}" by the text of value n and "{{" "}}" by one brace; values are not rescanned.
// provider == nullptr means the culture-neutral forms.
std::string Fill(std::string_view format, Values values, const IFormatProvider* provider) {
  std::string out;
  out.reserve(format.size() + 16 * values.count);
  std::size_t i = 0;
  while (i < format.size()) {
    const std::size_t brace = format.find_first_of("{}", i);
    if (brace == std::string_view::npos) {
      out.append(format.substr(i));
      break;
    }
    out.append(format.substr(i, brace - i));
    const char c = format[brace];
    if (brace + 1 < format.size() && format[brace + 1] == c) {
      out.push_back(c);
      i = brace + 2;
      continue;
    }
    if (c == '}') throw FormatError("unmatched '}' at offset " + Utils::FormatInt(static_cast<std::int64_t>(brace)));
    std::size_t j = brace + 1;
    std::size_t index = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
      if (index < 1000000) index = index * 10 + static_cast<std::size_t>(format[j] - '0');
      ++j;
    }
    if (j == brace + 1 || j >= format.size() || format[j] != '}') {
      throw FormatError("malformed placeholder at offset " + Utils::FormatInt(static_cast<std::int64_t>(brace)));
    }
    if (index >= values.count) {
      throw FormatError("no value for {" + Utils::FormatInt(static_cast<std::int64_t>(index)) + "}, " +
                        Utils::FormatInt(static_cast<std::int64_t>(values.count)) + " given");
    }
    if (provider) {
      out += provider->Render(values.items[index]);
    } else {
      AppendNeutral(out, values.items[index]);
    }
    i = j + 1;
  }
  return out;
}

// The line that stands in for a format that could not be filled.
std::string Marker(std::string_view format, Values values, std::string_view reason) {
  std::string out = "Unfillable log format \"";
  out.append(format).append("\" (").append(reason).append(") with values [");
  for (std::size_t k = 0; k < values.count; ++k) {
    if (k > 0) out += ", ";
    if (values.items[k].kind() == LogValue::Kind::Null) {
      out += kNullMessage;
    } else {
      AppendNeutral(out, values.items[k]);
    }
  }
  out += "]";
  return out;
}

void ReportFailure(const char* what) {
  LogDiagnostic(std::string("a line could not be written: ") + what);
}

void WriteMessage(spdlog::logger& log, LogLevel level, const LogValue& message, std::string_view errorText) noexcept {
  try {
    if (!LogRepository::IsEnabled(log, level)) return;
    if (message.kind() == LogValue::Kind::Text) {
      LogRepository::Write(log, level, message.text(), errorText);
    } else if (message.kind() == LogValue::Kind::Null) {
      LogRepository::Write(log, level, kNullMessage, errorText);
    } else {
      std::string text;
      AppendNeutral(text, message);
      LogRepository::Write(log, level, text, errorText);
    }
  } catch (const std::exception& e) {
    ReportFailure(e.what());
  } catch (...) {
    ReportFailure("unknown error");
  }
}

void WriteFormat(spdlog::logger& log, LogLevel level, const IFormatProvider* provider, std::string_view format,
                 Values values) noexcept {
  try {
    if (!LogRepository::IsEnabled(log, level)) return;
    std::string text;
    try {
      text = Fill(format, values, provider);
    } catch (const std::exception& e) {
      text = Marker(format, values, e.what());
    }
    LogRepository::Write(log, level, text, {});
  } catch (const std::exception& e) {
    ReportFailure(e.what());
  } catch (...) {
    ReportFailure("unknown error");
  }
}

Values Of(const std::vector<LogValue>& args) { return {args.data(), args.size()}; }

LogLevel LevelOfMT4(std::int32_t log_level) {
  switch (log_level) {
    case Globals::LOG_DEBUG: return LogLevel::Debug;
    case Globals::LOG_INFO: return LogLevel::Info;
    case Globals::LOG_WARN: return LogLevel::Warn;
    case Globals::LOG_FATAL: return LogLevel::Fatal;
    default: return LogLevel::Error;  // LOG_ERROR and any number outside 1..5
  }
}
}  // namespace

Logger::Logger(std::string_view name) : log(LogRepository::GetLogger(name)) { LogConfiguration::Configure(config2); }

#define QV_LOG_FAMILY_DEF(Name)                                                                                \
  void Logger::Name(const LogValue& message) { WriteMessage(*log, LogLevel::Name, message, {}); }               \
  void Logger::Name(const LogValue& message, const std::exception& exception) {                                 \
    WriteMessage(*log, LogLevel::Name, message, exception.what());                                              \
  }                                                                                                             \
  void Logger::Name##Format(std::string_view format, const std::vector<LogValue>& args) {                       \
    WriteFormat(*log, LogLevel::Name, nullptr, format, Of(args));                                               \
  }                                                                                                             \
  void Logger::Name##Format(std::string_view format, const LogValue& arg0) {                                    \
    WriteFormat(*log, LogLevel::Name, nullptr, format, {&arg0, 1});                                             \
  }                                                                                                             \
  void Logger::Name##Format(std::string_view format, const LogValue& arg0, const LogValue& arg1) {              \
    const LogValue values[] = {arg0, arg1};                                                                     \
    WriteFormat(*log, LogLevel::Name, nullptr, format, {values, 2});                                            \
  }                                                                                                             \
  void Logger::Name##Format(std::string_view format, const LogValue& arg0, const LogValue& arg1,                \
                            const LogValue& arg2) {                                                             \
    const LogValue values[] = {arg0, arg1, arg2};                                                               \
    WriteFormat(*log, LogLevel::Name, nullptr, format, {values, 3});                                            \
  }                                                                                                             \
  void Logger::Name##Format(const IFormatProvider& provider, std::string_view format,                          \
                            const std::vector<LogValue>& args) {                                                \
    WriteFormat(*log, LogLevel::Name, &provider, format, Of(args));                                             \
  }
QV_LOG_FAMILY_DEF(Debug)
QV_LOG_FAMILY_DEF(Info)
QV_LOG_FAMILY_DEF(Warn)
QV_LOG_FAMILY_DEF(Error)
QV_LOG_FAMILY_DEF(Fatal)
#undef QV_LOG_FAMILY_DEF

bool Logger::IsDebugEnabled() const { return LogRepository::IsEnabled(*log, LogLevel::Debug); }
bool Logger::IsInfoEnabled() const { return LogRepository::IsEnabled(*log, LogLevel::Info); }
bool Logger::IsWarnEnabled() const { return LogRepository::IsEnabled(*log, LogLevel::Warn); }
bool Logger::IsErrorEnabled() const { return LogRepository::IsEnabled(*log, LogLevel::Error); }
bool Logger::IsFatalEnabled() const { return LogRepository::IsEnabled(*log, LogLevel::Fatal); }

void Logger::logMT4(std::int32_t log_level, std::int32_t errorCode, std::string_view status,
                    std::string_view message) {
  const char* format = log_level == Globals::LOG_DEBUG ? "ZaRE4: ErrorCode:{0} : Status: {1} Message: {2}"
                                                       : "ZaRE4: ErrorCode:{0} Status: {1} Message: {2}";
  const LogValue values[] = {errorCode, status, message};
  WriteFormat(*log, LevelOfMT4(log_level), nullptr, format, {values, 3});
}

}  // namespace QvMT4Connector::Implementation
