#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tessera::platform {
namespace {

/// The process id in the pid file, read without following a link; 0 when not known.
pid_t readHolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat info {};
  char text[32] = {};
  const ssize_t got =
      ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? ::pread(fd, text, sizeof text - 1, 0) : 0;
  ::close(fd);
  if (got <= 0) return 0;
  const long pid = std::strtol(text, nullptr, 10);
  return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

/// Whether fd is still the file under path: a holder that finished removed the file, and a
/// lock on the removed file keeps nobody out.
bool stillNamed(int fd, const std::string& path) {
  struct stat opened {
  }, named{};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

/// flock without waiting, retried when a signal cuts it short.
int lockNow(int fd) {
  int result = 0;
  do result = ::flock(fd, LOCK_EX | LOCK_NB);
  while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

FolderLock::FolderLock(std::string folder, std::string pidFile) : pidFile_(std::move(pidFile)) {
  bool folderLocked = false;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 && lockNow(fd) == 0) {
    folderFd_ = fd;
    folderLocked = true;
  } else {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (fd >= 0 && error == EWOULDBLOCK) {
      holder_ = readHolder(pidFile_);
      state_ = State::busy;
      return;
    }
    // A file system without locks on folders (some network file systems) may still lock files.
    failure_ = std::strerror(error);
  }
  // The pid file is locked too: a run of an earlier version locks only it.
  switch (lockFile()) {
    case Outcome::busy:
      if (folderFd_ >= 0) ::close(folderFd_);
      folderFd_ = -1;
      holder_ = readHolder(pidFile_);
      state_ = State::busy;
      return;
    case Outcome::locked:
      state_ = State::held;
      return;
    case Outcome::failed:
      state_ = folderLocked ? State::held : State::unavailable;
      return;
  }
}

FolderLock::Outcome FolderLock::lockFile() {
  for (;;) {
    // Never through a link, never a file of another user, never blocking on a pipe.
    int fd = ::open(pidFile_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    // Another user's file this process may not write still takes a lock.
    if (fd < 0 && errno == EACCES)
      fd = ::open(pidFile_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      if (failure_.empty()) failure_ = std::strerror(errno);
      return Outcome::failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd);
      return Outcome::failed;
    }
    if (lockNow(fd) != 0) {
      const int error = errno;
      ::close(fd);
      return error == EWOULDBLOCK ? Outcome::busy : Outcome::failed;
    }
    if (!stillNamed(fd, pidFile_)) {  // won the lock on a file its holder just removed
      ::close(fd);
      continue;
    }
    fileFd_ = fd;
    ownsFile_ = info.st_uid == ::geteuid() && (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR;
    if (ownsFile_) {
      const std::string pid = std::to_string(::getpid()) + "\n";
      if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
      }
    }
    return Outcome::locked;
  }
}

FolderLock::~FolderLock() {
  // Removed while still locked, so that a run waiting for it sees the name gone and retries.
  if (fileFd_ >= 0) {
    if (ownsFile_ && stillNamed(fileFd_, pidFile_)) ::unlink(pidFile_.c_str());
    ::close(fileFd_);
  }
  if (folderFd_ >= 0) ::close(folderFd_);
}

}  // namespace tessera::platform
