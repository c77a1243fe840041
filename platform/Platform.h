#pragma once
// The few operating-system services the library needs. One implementation per OS
// (posix/, windows/); nothing outside this folder knows which one is built.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace QvMT4Connector::Platform {

// A moment on the local clock, broken down.
struct LocalTime {
  int year = 1970, month = 1, day = 1;      // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0;    // 0..23, 0..59, 0..60
  int millisecond = 0;                     // 0..999
};

// --- 8-bit "ANSI" text (the process code page; UTF-8 on Linux) -------------
// Every character (not byte) outside ASCII becomes one '?'.
std::string AnsiToAscii(std::string_view ansi);
// The text as UTF-8, for names and settings that go on the wire.
std::string AnsiToUtf8(std::string_view ansi);

// --- identity and randomness -----------------------------------------------
std::string ComputerName();
// A random (version 4) UUID: 36 characters, lowercase, 8-4-4-4-12.
std::string NewUuid();
// Fills out with bytes from the OS's cryptographic source; throws std::runtime_error on failure.
void CryptoRandom(std::uint8_t* out, std::size_t count);

// --- folders and the clock ---------------------------------------------------
std::string CurrentDirectory();
// Folder of the host program's executable (the terminal's installation folder).
std::string ExecutableDirectory();
LocalTime LocalNow();
// Small integer naming the calling thread, for log lines.
std::uint64_t ThreadId();

// --- files ---------------------------------------------------------------------
// A file held open for appending and for exclusive writing: other processes may read it, but no other
// LockedFile, in this process or another, can hold it meanwhile (an advisory lock on Linux, a share
// mode on Windows). Every Append goes straight to the operating system; nothing is buffered.
class LockedFile {
 public:
  // Opens the file, creating it when missing; `truncate` empties it once it is held. Throws
  // std::runtime_error naming the file and the reason (missing folder, held by another writer, ...).
  LockedFile(const std::string& path, bool truncate);
  ~LockedFile();
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  // Writes all bytes at the end of the file; throws std::runtime_error on failure.
  void Append(std::string_view bytes);

 private:
  std::intptr_t handle_;
};

// --- diagnostics and results --------------------------------------------------
// The logging library's own channel: standard error here, OutputDebugString on Windows.
void Diagnostic(std::string_view text);
// A NUL-terminated copy that belongs to the caller of an export (malloc / CoTaskMemAlloc).
// Returns nullptr only when the allocation fails.
char* AllocateResult(std::string_view text);

// --- test seams ----------------------------------------------------------------
// Linked into the tests from the static library only; nothing the terminal can reach.
namespace Testing {
// Empty function restores the real service.
void SetClock(std::function<LocalTime()> clock);
void SetExecutableDirectory(std::string folder);   // "" restores the real folder
void SetCurrentDirectory(std::string folder);      // "" restores the real folder
void SetDiagnosticSink(std::function<void(std::string_view)> sink);
}  // namespace Testing

}  // namespace QvMT4Connector::Platform
