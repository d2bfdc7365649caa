#pragma once

#include <string_view>

namespace tessera::platform {

/// Ctrl-C during the search: the first SIGINT only raises a flag that the search polls between
/// iterations; the second ends the process at once with status 130 after restoring the
/// terminal. Installing more than once is harmless.
void installInterruptHandler();

/// Whether a SIGINT has arrived since installation or the last clearInterrupt().
bool interruptRequested();

/// A write past the file size limit (RLIMIT_FSIZE) then fails with EFBIG, which the writers
/// report and handle as a full disk, instead of killing the process with SIGXFSZ.
void ignoreFileSizeSignal();

/// Forgets earlier SIGINTs, so the next one counts as the first again.
void clearInterrupt();

/// A line (UTF-8, converted like the console's output) that the first SIGINT writes at once
/// to standard error, so that the user learns what happens before the running work ends.
/// Empty: nothing is written. Longer texts are cut at 1000 bytes.
void setInterruptNotice(std::string_view utf8);

/// Sets the notice for as long as it lives, then clears it.
class InterruptNotice {
 public:
  explicit InterruptNotice(std::string_view utf8) { setInterruptNotice(utf8); }
  ~InterruptNotice() { setInterruptNotice({}); }
  InterruptNotice(const InterruptNotice&) = delete;
  InterruptNotice& operator=(const InterruptNotice&) = delete;
};

}  // namespace tessera::platform
