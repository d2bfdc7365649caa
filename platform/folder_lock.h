#pragma once

#include <string>
#include <sys/types.h>

namespace tessera::platform {

/// An exclusive advisory lock (flock) on a lock file, held for the object's lifetime, so that
/// two runs never work on one folder at once. The holder writes its process id into the file
/// and removes the file when the object goes. The kernel drops the lock of a process that
/// dies, so a file left behind by a killed run never blocks.
class FolderLock {
 public:
  /// Tries once and never waits; see state().
  explicit FolderLock(std::string path);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  enum class State {
    held,        // this process holds the lock
    busy,        // another process holds it: holder() says which, where it is known
    unavailable  // the lock file cannot be created (a folder nobody may write to)
  };
  State state() const { return state_; }
  /// The process id the holder wrote; 0 when it is not known.
  pid_t holder() const { return holder_; }

 private:
  std::string path_;
  int fd_ = -1;
  State state_ = State::unavailable;
  pid_t holder_ = 0;
};

}  // namespace tessera::platform
