#pragma once

#include <sys/types.h>

#include <string>

namespace tessera::platform {

/// An exclusive advisory lock (flock) on a folder, held for the object's lifetime, so that two
/// runs never work on one folder at once. The lock is taken on the folder itself, which needs
/// no file to be created; the file pidFile beside it also gets the lock and the holder's
/// process id (for the message of a second run, and as the lock runs of earlier versions
/// take), when it can be opened without following a link and is the holder's own regular
/// file; otherwise it is left alone. The kernel drops the locks of a process that dies, so a
/// file left behind by a killed run never blocks.
class FolderLock {
 public:
  /// Tries once and never waits; see state().
  FolderLock(std::string folder, std::string pidFile);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  enum class State {
    held,        // this process holds the lock (on the folder, or on the file where the
                 // folder cannot be locked)
    busy,        // another process holds it: holder() says which, where it is known
    unavailable  // neither the folder nor the file can be locked
  };
  State state() const { return state_; }
  /// The process id the holder wrote; 0 when it is not known.
  pid_t holder() const { return holder_; }
  /// Why no lock could be taken, when unavailable.
  const std::string& failure() const { return failure_; }

 private:
  enum class Outcome { locked, busy, failed };
  Outcome lockFile();

  std::string pidFile_;
  int folderFd_ = -1;
  int fileFd_ = -1;
  bool ownsFile_ = false;  // the pid file is this process's to write and remove
  State state_ = State::unavailable;
  pid_t holder_ = 0;
  std::string failure_;
};

}  // namespace tessera::platform
