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

}  // namespace

std::string whyNotReplaceable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    return S_ISDIR(info.st_mode) ? "a folder has this name" : "this name is not a file";
  const std::string temporary = temporaryName(path);
  const int fd = createTemporary(temporary);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  ::unlink(temporary.c_str());
  return {};
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
  TESSERA_ASSERT(!committed_ && temporary_.empty());
  if (!buffer_ || path_.empty()) {
    failure_ = path_.empty() ? "no file name" : "the text could not be formatted";
    return false;
  }
  const std::string content = std::move(buffer_).str();

  const std::string temporary = temporaryName(path_);
  const int fd = createTemporary(temporary);
  if (fd < 0) {
    failure_ = std::strerror(errno);
    return false;
  }
  bool ok = writeAll(fd, content) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  ok = ::close(fd) == 0 && ok;
  if (!ok) {
    if (error == 0) error = errno;
    ::unlink(temporary.c_str());
    failure_ = std::strerror(error);
    return false;
  }
  temporary_ = temporary;
  return true;
}

bool AtomicFile::commit() {
  TESSERA_ASSERT(!committed_);
  if (temporary_.empty() && !stage()) {
    committed_ = true;
    return false;
  }
  committed_ = true;
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
