#include "LogCapture.h"

#include "connector/implementation/LogTesting.h"

namespace QvMT4Connector::TestSupport {

LogCapture::LogCapture()
    : id_(Implementation::LogTesting::AddTap([this](std::int32_t level, std::string_view logger,
                                                    std::string_view message) {
        std::lock_guard<std::mutex> g(lock_);
        lines_.push_back({level, std::string(logger), std::string(message)});
      })) {}

LogCapture::~LogCapture() { Implementation::LogTesting::RemoveTap(id_); }

std::vector<LogLine> LogCapture::Lines() const {
  std::lock_guard<std::mutex> g(lock_);
  return lines_;
}

std::vector<LogLine> LogCapture::LinesOf(const std::string& logger) const {
  std::vector<LogLine> out;
  for (auto& l : Lines()) {
    if (logger.empty() || l.logger == logger) out.push_back(l);
  }
  return out;
}

bool LogCapture::Contains(std::int32_t level, const std::string& logger, const std::string& text) const {
  for (auto& l : Lines()) {
    if (l.level == level && l.logger == logger && l.message.find(text) != std::string::npos) return true;
  }
  return false;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> g(lock_);
  lines_.clear();
}

}  // namespace QvMT4Connector::TestSupport
