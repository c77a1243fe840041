// Windows side of LockedFile: the share mode admits readers only, so no second writer can open the file.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "platform/Platform.h"

namespace QvMT4Connector::Platform {
namespace {
[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD error) {
  std::string reason = "error " + std::to_string(error);
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) reason = "held by another writer";
  if (error == ERROR_PATH_NOT_FOUND) reason = "folder missing";
  if (error == ERROR_ACCESS_DENIED) reason = "access denied";
  throw std::runtime_error(what + " " + path + ": " + reason);
}
}  // namespace

LockedFile::LockedFile(const std::string& path, bool truncate) : handle_(0) {
  const HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | (truncate ? GENERIC_WRITE : 0), FILE_SHARE_READ,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail("cannot open", path, ::GetLastError());
  if (truncate && !::SetEndOfFile(h)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(h);
    Fail("cannot empty", path, error);
  }
  handle_ = reinterpret_cast<std::intptr_t>(h);
}

LockedFile::~LockedFile() { ::CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

void LockedFile::Append(std::string_view bytes) {
  const HANDLE h = reinterpret_cast<HANDLE>(handle_);
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    if (!::WriteFile(h, bytes.data(), chunk, &written, nullptr)) {
      throw std::runtime_error("cannot write the log file: error " + std::to_string(::GetLastError()));
    }
    bytes.remove_prefix(written);
  }
}

}  // namespace QvMT4Connector::Platform
