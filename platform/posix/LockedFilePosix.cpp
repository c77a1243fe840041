// Linux side of LockedFile: flock() locks belong to the open file, so a second opening of the same
// file is refused even inside this process, while readers are never hindered.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/Platform.h"

namespace QvMT4Connector::Platform {
namespace {
[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(error));
}
}  // namespace

LockedFile::LockedFile(const std::string& path, bool truncate) : handle_(-1) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) Fail("cannot open", path, errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) throw std::runtime_error("cannot open " + path + ": held by another writer");
    Fail("cannot lock", path, error);
  }
  if (truncate && ::ftruncate(fd, 0) != 0) {
    const int error = errno;
    ::close(fd);
    Fail("cannot empty", path, error);
  }
  handle_ = fd;
}

LockedFile::~LockedFile() { ::close(static_cast<int>(handle_)); }

void LockedFile::Append(std::string_view bytes) {
  const int fd = static_cast<int>(handle_);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("cannot write the log file: ") + std::strerror(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace QvMT4Connector::Platform
