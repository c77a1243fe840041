#pragma once
// The library's named-logger interface, laid over spdlog.
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace spdlog {
class logger;
}

namespace QvMT4Connector::Interface {

// One value that fills a numbered placeholder, or a plain message. It refers to the caller's data
// and lives only for the call; it is rendered only when the line's level is enabled.
class LogValue {
 public:
  enum class Kind { Null, Text, Int, Double, Bool };

  LogValue(const char* text) : kind_(text ? Kind::Text : Kind::Null), text_(text ? text : "") {}
  LogValue(const std::string& text) : kind_(Kind::Text), text_(text) {}
  LogValue(std::string_view text) : kind_(Kind::Text), text_(text) {}
  LogValue(std::int32_t value) : kind_(Kind::Int), int_(value) {}
  LogValue(std::int64_t value) : kind_(Kind::Int), int_(value) {}
  LogValue(std::uint32_t value) : kind_(Kind::Int), int_(value) {}
  LogValue(double value) : kind_(Kind::Double), double_(value) {}
  LogValue(bool value) : kind_(Kind::Bool), bool_(value) {}
  LogValue(std::nullptr_t) : kind_(Kind::Null) {}

  Kind kind() const { return kind_; }
  std::string_view text() const { return text_; }
  std::int64_t intValue() const { return int_; }
  double doubleValue() const { return double_; }
  bool boolValue() const { return bool_; }

 private:
  Kind kind_;
  std::string_view text_;
  std::int64_t int_ = 0;
  double double_ = 0;
  bool bool_ = false;
};

// A set of formatting conventions for numbers (a culture).
class IFormatProvider {
 public:
  virtual ~IFormatProvider() = default;
  virtual std::string Render(const LogValue& value) const = 0;
};

// The wrapped library logger. The accessor is non-virtual because C++ cannot name a member
// function after its class, and the implementation class is called Logger.
class ILoggerWrapper {
 public:
  virtual ~ILoggerWrapper() = default;
  std::shared_ptr<spdlog::logger> Logger() const { return WrappedLogger(); }

 protected:
  virtual std::shared_ptr<spdlog::logger> WrappedLogger() const = 0;
};

#define QV_LOG_FAMILY(Level)                                                                        \
  virtual void Level(const LogValue& message) = 0;                                                  \
  virtual void Level(const LogValue& message, const std::exception& exception) = 0;                 \
  virtual void Level##Format(std::string_view format, const std::vector<LogValue>& args) = 0;       \
  virtual void Level##Format(std::string_view format, const LogValue& arg0) = 0;                    \
  virtual void Level##Format(std::string_view format, const LogValue& arg0, const LogValue& arg1) = 0; \
  virtual void Level##Format(std::string_view format, const LogValue& arg0, const LogValue& arg1,   \
                             const LogValue& arg2) = 0;                                             \
  virtual void Level##Format(const IFormatProvider& provider, std::string_view format,              \
                             const std::vector<LogValue>& args) = 0;

class ILog : public virtual ILoggerWrapper {
 public:
  QV_LOG_FAMILY(Debug)
  QV_LOG_FAMILY(Info)
  QV_LOG_FAMILY(Warn)
  QV_LOG_FAMILY(Error)
  QV_LOG_FAMILY(Fatal)

  virtual bool IsDebugEnabled() const = 0;
  virtual bool IsInfoEnabled() const = 0;
  virtual bool IsWarnEnabled() const = 0;
  virtual bool IsErrorEnabled() const = 0;
  virtual bool IsFatalEnabled() const = 0;
};

#undef QV_LOG_FAMILY

class ILogger : public virtual ILog, public virtual ILoggerWrapper {
 public:
  // The Expert Advisor's own log call (export QvLog). Never throws.
  virtual void logMT4(std::int32_t log_level, std::int32_t errorCode, std::string_view status,
                      std::string_view message) = 0;
};

}  // namespace QvMT4Connector::Interface
