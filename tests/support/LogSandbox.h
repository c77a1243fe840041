#pragma once
// A private terminal folder for tests that log: a fresh temporary folder serves as the executable's
// and the current directory, the clock is fixed and settable, diagnostics are collected, and the
// logging starts unconfigured. Everything is restored when it goes.
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace QvMT4Connector::TestSupport {

class LogSandbox {
 public:
  LogSandbox();
  ~LogSandbox();
  LogSandbox(const LogSandbox&) = delete;
  LogSandbox& operator=(const LogSandbox&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  // experts/logs/QvMT4Connector, where the built-in configuration writes.
  std::filesystem::path LogFolder() const;
  // experts/config/log4net_qvmt4_config.xml, the external configuration file.
  std::filesystem::path ConfigFile() const;

  // The local time the clock shows (2013-05-14 09:03:07,045 at the start).
  void SetNow(const Platform::LocalTime& now);
  Platform::LocalTime Now() const;

  std::vector<std::string> Diagnostics() const;
  // Whether a diagnostic contains the text.
  bool Diagnosed(const std::string& text) const;

  // Sorted names of the files in a folder; empty when the folder is missing.
  static std::vector<std::string> FileNames(const std::filesystem::path& folder);
  // The whole file as bytes; empty when missing.
  static std::string ReadFile(const std::filesystem::path& file);
  static void WriteFile(const std::filesystem::path& file, const std::string& bytes);

 private:
  std::filesystem::path folder_;
  mutable std::mutex lock_;
  Platform::LocalTime now_;
  std::vector<std::string> diagnostics_;
};

// A local time from its parts.
Platform::LocalTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                       int millisecond = 0);

}  // namespace QvMT4Connector::TestSupport
