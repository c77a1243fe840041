// The OS-independent half of the platform layer: the test seams that wrap the real services.
#include "platform/Platform.h"
#include "platform/PlatformNative.h"

#include <mutex>

namespace QvMT4Connector::Platform {
namespace {
struct Overrides {
  std::mutex lock;
  std::function<LocalTime()> clock;
  std::string executableDirectory;
  std::string currentDirectory;
  std::function<void(std::string_view)> diagnostic;
};
Overrides& overrides() {
  static Overrides* o = new Overrides;  // never destroyed: used from late static destructors
  return *o;
}
}  // namespace

LocalTime LocalNow() {
  std::function<LocalTime()> clock;
  {
    std::lock_guard<std::mutex> g(overrides().lock);
    clock = overrides().clock;
  }
  return clock ? clock() : Native::LocalNow();
}

std::string ExecutableDirectory() {
  {
    std::lock_guard<std::mutex> g(overrides().lock);
    if (!overrides().executableDirectory.empty()) return overrides().executableDirectory;
  }
  return Native::ExecutableDirectory();
}

std::string CurrentDirectory() {
  {
    std::lock_guard<std::mutex> g(overrides().lock);
    if (!overrides().currentDirectory.empty()) return overrides().currentDirectory;
  }
  return Native::CurrentDirectory();
}

void Diagnostic(std::string_view text) {
  std::function<void(std::string_view)> sink;
  {
    std::lock_guard<std::mutex> g(overrides().lock);
    sink = overrides().diagnostic;
  }
  if (sink) {
    sink(text);
  } else {
    Native::Diagnostic(text);
  }
}

namespace Testing {
void SetClock(std::function<LocalTime()> clock) {
  std::lock_guard<std::mutex> g(overrides().lock);
  overrides().clock = std::move(clock);
}
void SetExecutableDirectory(std::string folder) {
  std::lock_guard<std::mutex> g(overrides().lock);
  overrides().executableDirectory = std::move(folder);
}
void SetCurrentDirectory(std::string folder) {
  std::lock_guard<std::mutex> g(overrides().lock);
  overrides().currentDirectory = std::move(folder);
}
void SetDiagnosticSink(std::function<void(std::string_view)> sink) {
  std::lock_guard<std::mutex> g(overrides().lock);
  overrides().diagnostic = std::move(sink);
}
}  // namespace Testing
}  // namespace QvMT4Connector::Platform
