#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace tessera::platform {
namespace {

pid_t readHolder(int fd) {
  char text[32] = {};
  const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
  if (got <= 0) return 0;
  const long pid = std::strtol(text, nullptr, 10);
  return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

/// Whether fd is still the file under path: a holder that finished removed the file, and a
/// lock on the removed file keeps nobody out.
bool stillNamed(int fd, const std::string& path) {
  struct stat opened {}, named {};
  return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

FolderLock::FolderLock(std::string path) : path_(std::move(path)) {
  for (;;) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      state_ = State::unavailable;
      return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error == EINTR) {
        ::close(fd);
        continue;
      }
      holder_ = readHolder(fd);
      ::close(fd);
      state_ = error == EWOULDBLOCK ? State::busy : State::unavailable;
      return;
    }
    if (!stillNamed(fd, path_)) {  // won the lock on a file its holder just removed
      ::close(fd);
      continue;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
      [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    fd_ = fd;
    state_ = State::held;
    return;
  }
}

FolderLock::~FolderLock() {
  if (fd_ < 0) return;
  // Removed while still locked, so that a run waiting for it sees the name gone and retries.
  ::unlink(path_.c_str());
  ::close(fd_);
}

}  // namespace tessera::platform
