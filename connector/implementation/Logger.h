#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "connector/interface/ILogger.h"

namespace QvMT4Connector::Implementation {

// A named logger of the library. Holds nothing but the library logger: every operation forwards
// to it, and no operation throws.
class Logger : public Interface::ILogger {
 public:
  // Gets the library logger of that name, then runs the log configuration.
  explicit Logger(std::string_view name);

  // The built-in log configuration, in log4net's XML format.
  static const char config2[];

#define QV_LOG_FAMILY_IMPL(Level)                                                                              \
  void Level(const Interface::LogValue& message) override;                                                     \
  void Level(const Interface::LogValue& message, const std::exception& exception) override;                    \
  void Level##Format(std::string_view format, const std::vector<Interface::LogValue>& args) override;          \
  void Level##Format(std::string_view format, const Interface::LogValue& arg0) override;                       \
  void Level##Format(std::string_view format, const Interface::LogValue& arg0,                                 \
                     const Interface::LogValue& arg1) override;                                                \
  void Level##Format(std::string_view format, const Interface::LogValue& arg0, const Interface::LogValue& arg1, \
                     const Interface::LogValue& arg2) override;                                                \
  void Level##Format(const Interface::IFormatProvider& provider, std::string_view format,                      \
                     const std::vector<Interface::LogValue>& args) override;
  QV_LOG_FAMILY_IMPL(Debug)
  QV_LOG_FAMILY_IMPL(Info)
  QV_LOG_FAMILY_IMPL(Warn)
  QV_LOG_FAMILY_IMPL(Error)
  QV_LOG_FAMILY_IMPL(Fatal)
#undef QV_LOG_FAMILY_IMPL

  bool IsDebugEnabled() const override;
  bool IsInfoEnabled() const override;
  bool IsWarnEnabled() const override;
  bool IsErrorEnabled() const override;
  bool IsFatalEnabled() const override;

  void logMT4(std::int32_t log_level, std::int32_t errorCode, std::string_view status,
              std::string_view message) override;

 protected:
  std::shared_ptr<spdlog::logger> WrappedLogger() const override { return log; }

 private:
  std::shared_ptr<spdlog::logger> log;
};

}  // namespace QvMT4Connector::Implementation
