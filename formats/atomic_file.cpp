#include "formats/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "geometry/assert.h"

namespace tessera {
namespace {

bool writeAll(int fd, const std::string& bytes) {
  const char* at = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, at, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    at += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

/// Makes the rename itself durable; a folder that cannot be synced does not undo the write.
void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

/// The name is unique per process; a leftover of an earlier crashed process with the same
/// id is stale and may be replaced.
std::string temporaryName(const std::string& path) {
  return path + ".tmp" + std::to_string(::getpid());
}

int createTemporary(const std::string& temporary) {
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST && ::unlink(temporary.c_str()) == 0)
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  return fd;
}

/// Writes content to fd from its start and flushes it to the disk, then closes fd; with
/// emptyFirst the file is emptied before, so that a write cut short leaves a file that ends
/// early (which readers notice: a missing end marker), never new text over old. The reason of
/// a failure, or an empty string.
std::string writeAndClose(int fd, const std::string& content, bool emptyFirst) {
  bool ok = (!emptyFirst || ::ftruncate(fd, 0) == 0) && writeAll(fd, content) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  ok = ::close(fd) == 0 && ok;
  if (!ok && error == 0) error = errno;
  return ok ? std::string() : std::strerror(error);
}

/// Only a folder that forbids new files is reason to write in place; a full disk is not.
bool permissionDenied(int error) { return error == EACCES || error == EPERM; }

/// The existing regular file path opened for writing where it stands, or -1. A link is not
/// followed: writing through it would change a file elsewhere, which renaming never does.
int openInPlace(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

ReplacementCheck checkReplacement(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    return {false, false,
            S_ISDIR(info.st_mode) ? "a folder has this name" : "this name is not a file"};
  const std::string temporary = temporaryName(path);
  const int fd = createTemporary(temporary);
  if (fd >= 0) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return {};
  }
  const int error = errno;
  if (permissionDenied(error)) {
    const int existing = openInPlace(path);
    if (existing >= 0) {
      ::close(existing);
      return {true, true, std::strerror(error)};
    }
  }
  return {false, false, std::strerror(error)};
}

std::string whyNotReplaceable(const std::string& path) {
  const ReplacementCheck check = checkReplacement(path);
  return check.possible ? std::string() : check.reason;
}

std::string whyNotAppendable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return {};
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  buffer_.imbue(std::locale::classic());
}

AtomicFile::~AtomicFile() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicFile::stage() {
  TESSERA_ASSERT(!committed_ && !stageCalled_);
  stageCalled_ = true;
  return stageOrWriteInPlace(false);
}

bool AtomicFile::stageOrWriteInPlace(bool inPlaceAllowed) {
  if (!buffer_ || path_.empty()) {
    failure_ = path_.empty() ? "no file name" : "the text could not be formatted";
    return false;
  }
  const std::string content = std::move(buffer_).str();

  const std::string temporary = temporaryName(path_);
  const int fd = createTemporary(temporary);
  if (fd < 0) {
    const int error = errno;
    const int existing = inPlaceAllowed && permissionDenied(error) ? openInPlace(path_) : -1;
    if (existing < 0) {
      failure_ = std::strerror(error);
      return false;
    }
    wroteInPlace_ = true;
    failure_ = writeAndClose(existing, content, true);
    return failure_.empty();
  }
  failure_ = writeAndClose(fd, content, false);
  if (!failure_.empty()) {
    ::unlink(temporary.c_str());
    return false;
  }
  temporary_ = temporary;
  return true;
}

bool AtomicFile::commit() {
  TESSERA_ASSERT(!committed_);
  committed_ = true;
  if (!stageCalled_ && !stageOrWriteInPlace(true)) return false;
  if (wroteInPlace_) return true;
  if (temporary_.empty()) return false;  // the stage failed
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    failure_ = std::strerror(errno);
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return false;
  }
  temporary_.clear();
  syncFolder(folderOf(path_));
  return true;
}

}  // namespace tessera
