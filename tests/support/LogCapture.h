#pragma once
// Collects the lines that the library's loggers write while it is alive.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace QvMT4Connector::TestSupport {

struct LogLine {
  std::int32_t level;  // Globals::LOG_DEBUG .. LOG_FATAL
  std::string logger;
  std::string message;
};

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<LogLine> Lines() const;
  // Lines of one logger (all loggers when empty), in order.
  std::vector<LogLine> LinesOf(const std::string& logger) const;
  // Whether a line of that level and logger contains the text.
  bool Contains(std::int32_t level, const std::string& logger, const std::string& text) const;
  void Clear();

 private:
  mutable std::mutex lock_;
  std::vector<LogLine> lines_;
  int id_;
};

}  // namespace QvMT4Connector::TestSupport
