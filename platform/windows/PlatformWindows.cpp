// Windows side of the platform layer. 8-bit text is in the process's ANSI code page (CP_ACP).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after windows.h, which they need
#include <bcrypt.h>
#include <objbase.h>

#include <climits>
#include <stdexcept>
#include <vector>

#include "platform/Platform.h"
#include "platform/PlatformNative.h"
#include "platform/windows/PlatformWindows.h"

namespace QvMT4Connector::Platform {

namespace {

// "what: <system message> (code N)" for the calling thread's last error.
std::runtime_error LastError(const char* what, DWORD code = GetLastError()) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message(what);
  if (n > 0 && text != nullptr) {
    std::string system(text, n);
    while (!system.empty() && (system.back() == '\n' || system.back() == '\r' || system.back() == ' ')) {
      system.pop_back();
    }
    message += ": " + system;
  }
  if (text != nullptr) LocalFree(text);
  return std::runtime_error(message + " (code " + std::to_string(code) + ")");
}

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error("Text too long to convert");
  return static_cast<int>(size);
}

std::wstring ToWide(unsigned codePage, std::string_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int wide = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (wide <= 0) throw LastError("Cannot convert 8-bit text");
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  if (MultiByteToWideChar(codePage, 0, text.data(), length, out.data(), wide) != wide) {
    throw LastError("Cannot convert 8-bit text");
  }
  return out;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Windows names a folder by the path up to its last separator; a drive root keeps its "\".
std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return path;
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

}  // namespace

namespace Windows {

std::string ToAscii(unsigned codePage, std::string_view text) {
  const std::wstring wide = ToWide(codePage, text);
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const wchar_t c = wide[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    // A character outside the basic plane is two UTF-16 units but still one '?'.
    if (IsHighSurrogate(c) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) ++i;
    out.push_back('?');
  }
  return out;
}

std::string ToUtf8(unsigned codePage, std::string_view text) {
  const std::wstring wide = ToWide(codePage, text);
  if (wide.empty()) return {};
  const int length = CheckedLength(wide.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) throw LastError("Cannot convert text to UTF-8");
  std::string out(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), bytes, nullptr, nullptr) != bytes) {
    throw LastError("Cannot convert text to UTF-8");
  }
  return out;
}

}  // namespace Windows

std::string AnsiToAscii(std::string_view ansi) { return Windows::ToAscii(CP_ACP, ansi); }

std::string AnsiToUtf8(std::string_view ansi) { return Windows::ToUtf8(CP_ACP, ansi); }

std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) throw LastError("Cannot read the computer name");
  return std::string(name, size);
}

void CryptoRandom(std::uint8_t* out, std::size_t count) {
  while (count > 0) {
    const ULONG chunk = count > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(count);
    const NTSTATUS status = BCryptGenRandom(nullptr, out, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (!BCRYPT_SUCCESS(status)) {
      throw std::runtime_error("Cannot read random bytes: BCryptGenRandom failed with status " +
                               std::to_string(static_cast<unsigned long>(status)));
    }
    out += chunk;
    count -= chunk;
  }
}

std::uint64_t ThreadId() { return GetCurrentThreadId(); }

namespace Native {

// The COM task allocator, so a host can release results with CoTaskMemFree.
void* AllocateResultMemory(std::size_t size) { return CoTaskMemAlloc(size); }

LocalTime LocalNow() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

std::string ExecutableDirectory() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), size);
    if (n == 0) {
      Diagnostic(LastError("Cannot read the program's path; using the current directory").what());
      return CurrentDirectory();
    }
    if (n < size) return FolderOf(std::string(path.data(), n));
    if (path.size() >= 32768) {
      Diagnostic("The program's path is too long; using the current directory");
      return CurrentDirectory();
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
}

std::string CurrentDirectory() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) break;
    std::string path(needed, '\0');
    const DWORD n = GetCurrentDirectoryA(needed, path.data());
    if (n == 0) break;
    if (n < needed) {
      path.resize(n);
      return path;
    }
    // The directory changed between the two calls and grew: ask again.
  }
  Diagnostic(LastError("Cannot read the current directory; using \".\"").what());
  return ".";
}

void Diagnostic(std::string_view text) {
  std::string line(text);
  line += '\n';
  OutputDebugStringA(line.c_str());
}

}  // namespace Native
}  // namespace QvMT4Connector::Platform
