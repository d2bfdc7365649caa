#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstddef>

// A write that fails part way, as on a full disk: a file size limit for the lifetime of the
// object, with SIGXFSZ ignored so that the write reports the failure instead of ending the
// process.
namespace tessera::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::size_t bytes) {
    if (getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimit() {
    if (active_) setrlimit(RLIMIT_FSIZE, &saved_);
    if (previous_ != SIG_ERR) std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  /// Whether the limit is in force.
  bool active() const { return active_; }

 private:
  rlimit saved_{};
  void (*previous_)(int) = SIG_ERR;
  bool active_ = false;
};

}  // namespace tessera::test
