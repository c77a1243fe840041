#pragma once
// The log line layout of log4net's PatternLayout: "%date|%-5p|%logger|%message%newline".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "connector/implementation/LogLevel.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {

// One line to render.
struct LogEvent {
  Platform::LocalTime time;
  LogLevel level = LogLevel::Debug;
  std::string_view logger;
  std::string_view message;
  std::string_view errorText;  // empty when no error object came with the line
  std::uint64_t thread = 0;
};

class PatternLayout {
 public:
  // Conversions: %date (%d) with an optional {.NET format} or {ISO8601}, {ABSOLUTE}, {DATE};
  // %level (%p), %logger (%c), %message (%m), %newline (%n, CR LF), %thread (%t), %%; each with
  // the optional [-][min][.max] of log4net (left-justify, pad to min, keep the last max characters).
  // An unknown conversion is reported on the diagnostic channel and written as it stands.
  explicit PatternLayout(std::string_view pattern);

  // Appends the line; an error text follows it on the next line(s), ended by CR LF.
  void Render(const LogEvent& event, std::string& out) const;

  // Whether lines show the thread, which costs a system call to learn.
  bool ShowsThread() const { return showsThread_; }

 private:
  enum class Kind { Literal, Date, Level, Logger, Message, NewLine, Thread };
  struct Part {
    Kind kind = Kind::Literal;
    std::string text;  // the literal, or the date format
    bool leftJustify = false;
    std::size_t minWidth = 0;
    std::size_t maxWidth = std::string::npos;
  };
  void RenderPart(const Part& part, const LogEvent& event, std::string& out) const;

  std::vector<Part> parts_;
  bool showsThread_ = false;
};

}  // namespace QvMT4Connector::Implementation
