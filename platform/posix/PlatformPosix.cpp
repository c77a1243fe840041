// Linux side of the platform layer. The 8-bit "ANSI" text of the terminal is UTF-8 here.
#include "platform/Platform.h"
#include "platform/PlatformNative.h"

#include <sys/random.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits.h>
#include <stdexcept>

namespace QvMT4Connector::Platform {

namespace {
// Length of the UTF-8 sequence starting at s[i], or 0 when it is not a valid one.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t len;
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  const auto b1 = static_cast<unsigned char>(s[i + 1]);
  if (b0 == 0xE0 && b1 < 0xA0) return 0;  // overlong
  if (b0 == 0xED && b1 > 0x9F) return 0;  // surrogate
  if (b0 == 0xF0 && b1 < 0x90) return 0;  // overlong
  if (b0 == 0xF4 && b1 > 0x8F) return 0;  // above U+10FFFF
  return len;
}
}  // namespace

std::string AnsiToAscii(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (std::size_t i = 0; i < ansi.size();) {
    const std::size_t len = Utf8SequenceLength(ansi, i);
    if (len == 1) {
      out.push_back(ansi[i]);
      i += 1;
    } else {
      // One character, or one stray byte, becomes one '?'.
      out.push_back('?');
      i += len == 0 ? 1 : len;
    }
  }
  return out;
}

std::string AnsiToUtf8(std::string_view ansi) { return std::string(ansi); }

std::string ComputerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) {
    throw std::runtime_error(std::string("Cannot read the computer name: ") + std::strerror(errno));
  }
  return name;
}

void CryptoRandom(std::uint8_t* out, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = getrandom(out + done, count - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("Cannot read random bytes: ") + std::strerror(errno));
    }
    done += static_cast<std::size_t>(got);
  }
}

std::uint64_t ThreadId() { return static_cast<std::uint64_t>(::syscall(SYS_gettid)); }

namespace Native {

void* AllocateResultMemory(std::size_t size) { return std::malloc(size); }

LocalTime LocalNow() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm tm{};
  const std::time_t secs = tv.tv_sec;
  localtime_r(&secs, &tm);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return t;
}

std::string ExecutableDirectory() {
  char path[PATH_MAX + 1] = {};
  const ssize_t n = readlink("/proc/self/exe", path, PATH_MAX);
  if (n <= 0) return CurrentDirectory();
  std::string p(path, static_cast<std::size_t>(n));
  const auto slash = p.rfind('/');
  return slash == std::string::npos ? p : (slash == 0 ? "/" : p.substr(0, slash));
}

std::string CurrentDirectory() {
  char path[PATH_MAX + 1] = {};
  if (getcwd(path, PATH_MAX) == nullptr) return ".";
  return path;
}

void Diagnostic(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace Native
}  // namespace QvMT4Connector::Platform
