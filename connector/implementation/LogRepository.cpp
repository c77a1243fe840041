#include "connector/implementation/LogRepository.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/base_sink.h>

#include <climits>
#include <cstdio>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "connector/implementation/DateRolledFile.h"
#include "connector/implementation/LogDiagnostic.h"
#include "connector/implementation/LogTesting.h"
#include "connector/implementation/PatternLayout.h"
#include "platform/Platform.h"

namespace QvMT4Connector::Implementation {
namespace {
using spdlog::details::log_msg;

// A line with an error object carries "message CR LF error text" as its spdlog payload, so every sink
// shows both; the source location marks such a payload and tells where the message ends, so that our
// layouts can put the error text after the whole line.
constexpr char kErrorTextTag[] = "qv:error-text";

spdlog::level::level_enum ToSpdlog(LogLevel level) {
  switch (level) {
    case LogLevel::Debug: return spdlog::level::debug;
    case LogLevel::Info: return spdlog::level::info;
    case LogLevel::Warn: return spdlog::level::warn;
    case LogLevel::Error: return spdlog::level::err;
    case LogLevel::Fatal: return spdlog::level::critical;
  }
  return spdlog::level::err;
}

spdlog::level::level_enum ThresholdToSpdlog(std::int32_t threshold) {
  if (threshold <= kThresholdAll) return spdlog::level::trace;
  if (threshold >= kThresholdOff) return spdlog::level::off;
  return ToSpdlog(static_cast<LogLevel>(threshold));
}

LogLevel FromSpdlog(spdlog::level::level_enum level) {
  switch (level) {
    case spdlog::level::trace:
    case spdlog::level::debug: return LogLevel::Debug;
    case spdlog::level::info: return LogLevel::Info;
    case spdlog::level::warn: return LogLevel::Warn;
    case spdlog::level::err: return LogLevel::Error;
    default: return LogLevel::Fatal;
  }
}

std::string_view View(spdlog::string_view_t s) { return {s.data(), s.size()}; }

// The lines of an spdlog message as our layouts see them.
LogEvent EventOf(const log_msg& msg, const Platform::LocalTime& now, bool withThread) {
  LogEvent event;
  event.time = now;
  event.level = FromSpdlog(msg.level);
  event.logger = View(msg.logger_name);
  event.message = View(msg.payload);
  const auto split = static_cast<std::size_t>(msg.source.line);
  if (msg.source.filename == kErrorTextTag && split + 2 <= event.message.size()) {
    event.errorText = event.message.substr(split + 2);
    event.message = event.message.substr(0, split);
  }
  if (withThread) event.thread = Platform::ThreadId();
  return event;
}

// An output that renders each line by a pattern layout; spdlog's own formatters are not used.
class LayoutSink : public spdlog::sinks::base_sink<std::mutex> {
 protected:
  explicit LayoutSink(const std::string& pattern) : layout_(pattern) {}
  // Writes one rendered line; `now` is the time the line carries.
  virtual void Output(const Platform::LocalTime& now, std::string_view line) = 0;

 private:
  void sink_it_(const log_msg& msg) final {
    const Platform::LocalTime now = Platform::LocalNow();
    line_.clear();
    layout_.Render(EventOf(msg, now, layout_.ShowsThread()), line_);
    Output(now, line_);
  }
  void flush_() override {}
  void set_pattern_(const std::string&) override {}
  void set_formatter_(std::unique_ptr<spdlog::formatter>) override {}

  PatternLayout layout_;
  std::string line_;  // reused under the sink's lock
};

class ConsoleSink final : public LayoutSink {
 public:
  ConsoleSink(const std::string& pattern, bool standardError)
      : LayoutSink(pattern), stream_(standardError ? stderr : stdout) {}

 private:
  void Output(const Platform::LocalTime&, std::string_view line) override {
    if (std::fwrite(line.data(), 1, line.size(), stream_) != line.size() || std::fflush(stream_) != 0) {
      throw std::runtime_error("cannot write to the console");
    }
  }
  std::FILE* stream_;
};

class DateRolledFileSink final : public LayoutSink {
 public:
  DateRolledFileSink(const std::string& pattern, const RollingFileSettings& settings)
      : LayoutSink(pattern), file_(settings, Platform::LocalNow()) {}

 private:
  void Output(const Platform::LocalTime& now, std::string_view line) override { file_.Write(now, line); }
  DateRolledFile file_;
};

std::shared_ptr<spdlog::sinks::sink> MakeOutput(const AppenderSettings& settings) {
  if (settings.kind == AppenderSettings::Kind::Console) {
    return std::make_shared<ConsoleSink>(settings.pattern, settings.standardError);
  }
  return std::make_shared<DateRolledFileSink>(settings.pattern, settings.rollingFile);
}

struct Taps {
  std::mutex lock;
  int next = 1;
  std::map<int, LogTesting::Tap> taps;

  void Notify(const log_msg& msg) {
    std::lock_guard<std::mutex> g(lock);
    if (taps.empty()) return;
    const auto level = static_cast<std::int32_t>(FromSpdlog(msg.level));
    for (auto& entry : taps) entry.second(level, View(msg.logger_name), View(msg.payload));
  }
};

// The one sink of every logger: hands each line to the configured outputs.
class RootSink final : public spdlog::sinks::sink {
 public:
  void log(const log_msg& msg) override {
    {
      std::shared_lock<std::shared_mutex> g(lock_);
      for (const auto& output : outputs_) {
        try {
          output->log(msg);
        } catch (const std::exception& e) {
          LogDiagnostic(e.what());
        }
      }
    }
    taps.Notify(msg);
  }
  void flush() override {}
  void set_pattern(const std::string&) override {}
  void set_formatter(std::unique_ptr<spdlog::formatter>) override {}

  // The old outputs close before the new ones open: a file is held by one writer at a time.
  // Lines logged meanwhile wait for the new outputs.
  void Replace(const std::vector<AppenderSettings>& appenders) {
    std::unique_lock<std::shared_mutex> g(lock_);
    outputs_.clear();
    for (const auto& settings : appenders) outputs_.push_back(MakeOutput(settings));
  }

  Taps taps;

 private:
  std::shared_mutex lock_;
  std::vector<std::shared_ptr<spdlog::sinks::sink>> outputs_;
};

struct Repository {
  std::mutex lock;  // guards loggers and threshold changes
  std::map<std::string, std::shared_ptr<spdlog::logger>, std::less<>> loggers;
  std::int32_t threshold = kThresholdOff;  // nothing is enabled before a configuration
  std::shared_ptr<RootSink> root = std::make_shared<RootSink>();

  void SetThreshold(std::int32_t value) {
    std::lock_guard<std::mutex> g(lock);
    threshold = value;
    for (auto& entry : loggers) entry.second->set_level(ThresholdToSpdlog(value));
  }
};

Repository& repository() {
  static Repository* r = new Repository;  // never destroyed: logging goes on during static destruction
  return *r;
}
}  // namespace

namespace LogRepository {

std::shared_ptr<spdlog::logger> GetLogger(std::string_view name) {
  Repository& r = repository();
  std::lock_guard<std::mutex> g(r.lock);
  const auto found = r.loggers.find(name);
  if (found != r.loggers.end()) return found->second;
  auto log = std::make_shared<spdlog::logger>(std::string(name), r.root);
  log->set_level(ThresholdToSpdlog(r.threshold));
  log->set_error_handler([](const std::string& message) { LogDiagnostic(message); });
  r.loggers.emplace(std::string(name), log);
  return log;
}

bool IsEnabled(const spdlog::logger& log, LogLevel level) { return log.should_log(ToSpdlog(level)); }

void Write(spdlog::logger& log, LogLevel level, std::string_view message, std::string_view errorText) noexcept {
  try {
    if (errorText.empty()) {
      log.log(ToSpdlog(level), spdlog::string_view_t(message.data(), message.size()));
      return;
    }
    std::string payload;
    payload.reserve(message.size() + 2 + errorText.size());
    payload.append(message).append("\r\n").append(errorText);
    const int split = message.size() > INT_MAX ? INT_MAX : static_cast<int>(message.size());
    log.log(spdlog::source_loc{kErrorTextTag, split, nullptr}, ToSpdlog(level),
            spdlog::string_view_t(payload.data(), payload.size()));
  } catch (const std::exception& e) {
    LogDiagnostic(e.what());
  } catch (...) {
    LogDiagnostic("unknown failure while writing a line");
  }
}

void Apply(const LogSettings& settings) {
  Repository& r = repository();
  r.root->Replace(settings.appenders);
  r.SetThreshold(settings.threshold);
}

}  // namespace LogRepository

namespace LogTesting {
int AddTap(Tap tap) {
  Taps& t = repository().root->taps;
  std::lock_guard<std::mutex> g(t.lock);
  const int id = t.next++;
  t.taps.emplace(id, std::move(tap));
  return id;
}

void RemoveTap(int id) {
  Taps& t = repository().root->taps;
  std::lock_guard<std::mutex> g(t.lock);
  t.taps.erase(id);
}

void Reset() {
  Repository& r = repository();
  r.root->Replace({});
  r.SetThreshold(kThresholdOff);
}
}  // namespace LogTesting

}  // namespace QvMT4Connector::Implementation
