// The OS-independent half of the platform layer: the test seams that wrap the real services,
// and what only builds on them.
#include "platform/Platform.h"
#include "platform/PlatformNative.h"

#include <cstring>
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

// The same on every OS: only the random source differs.
std::string NewUuid() {
  std::uint8_t b[16];
  CryptoRandom(b, sizeof b);
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static const char hex[] = "0123456789abcdef";
  std::string s;
  s.reserve(36);
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s.push_back('-');
    s.push_back(hex[b[i] >> 4]);
    s.push_back(hex[b[i] & 0x0F]);
  }
  return s;
}

char* AllocateResult(std::string_view text) {
  auto* p = static_cast<char*>(Native::AllocateResultMemory(text.size() + 1));
  if (p == nullptr) return nullptr;
  std::memcpy(p, text.data(), text.size());
  p[text.size()] = '\0';
  return p;
}

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
