#include "LogSandbox.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "connector/implementation/LogTesting.h"

namespace QvMT4Connector::TestSupport {
namespace fs = std::filesystem;

Platform::LocalTime At(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  Platform::LocalTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  t.millisecond = millisecond;
  return t;
}

LogSandbox::LogSandbox() : now_(At(2013, 5, 14, 9, 3, 7, 45)) {
  // A random name that nobody else holds (create_directory is false for an existing folder).
  folder_ = fs::temp_directory_path() / ("qvlog-" + Platform::NewUuid());
  if (!fs::create_directory(folder_)) throw std::runtime_error("cannot make a temporary folder");
  Implementation::LogTesting::Reset();
  Platform::Testing::SetExecutableDirectory(folder_.string());
  Platform::Testing::SetCurrentDirectory(folder_.string());
  Platform::Testing::SetClock([this] { return Now(); });
  Platform::Testing::SetDiagnosticSink([this](std::string_view text) {
    std::lock_guard<std::mutex> g(lock_);
    diagnostics_.emplace_back(text);
  });
}

LogSandbox::~LogSandbox() {
  Implementation::LogTesting::Reset();
  Platform::Testing::SetDiagnosticSink({});
  Platform::Testing::SetClock({});
  Platform::Testing::SetCurrentDirectory("");
  Platform::Testing::SetExecutableDirectory("");
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

fs::path LogSandbox::LogFolder() const { return folder_ / "experts" / "logs" / "QvMT4Connector"; }

fs::path LogSandbox::ConfigFile() const { return folder_ / "experts" / "config" / "log4net_qvmt4_config.xml"; }

void LogSandbox::SetNow(const Platform::LocalTime& now) {
  std::lock_guard<std::mutex> g(lock_);
  now_ = now;
}

Platform::LocalTime LogSandbox::Now() const {
  std::lock_guard<std::mutex> g(lock_);
  return now_;
}

std::vector<std::string> LogSandbox::Diagnostics() const {
  std::lock_guard<std::mutex> g(lock_);
  return diagnostics_;
}

bool LogSandbox::Diagnosed(const std::string& text) const {
  const auto all = Diagnostics();
  return std::any_of(all.begin(), all.end(), [&](const std::string& d) { return d.find(text) != std::string::npos; });
}

std::vector<std::string> LogSandbox::FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string LogSandbox::ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void LogSandbox::WriteFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace QvMT4Connector::TestSupport
