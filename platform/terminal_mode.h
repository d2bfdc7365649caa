#pragma once

#include <termios.h>

// Internal to the platform layer: raw key input on the terminal and its restoration.

namespace tessera::platform {

/// While alive, standard input (a terminal) is in non-canonical mode without echo; signals
/// stay enabled. The previous mode comes back on destruction, at exit, on a second Ctrl-C and
/// on a terminating signal whose handler is still the default. Modes nest: an inner one puts
/// back the outer one's mode, and the signal paths put back the outermost saved mode.
class RawTerminalMode {
 public:
  /// minBytes/tenthsOfSeconds are VMIN/VTIME: (1, 0) blocks for one key, (0, 0) polls.
  RawTerminalMode(int minBytes, int tenthsOfSeconds);
  ~RawTerminalMode();
  RawTerminalMode(const RawTerminalMode&) = delete;
  RawTerminalMode& operator=(const RawTerminalMode&) = delete;

  /// False when standard input is not a terminal; nothing was changed then.
  bool active() const { return active_; }

 private:
  bool active_ = false;
  bool outermost_ = false;
  struct termios previous_ {};
};

/// Puts back the mode saved by a live RawTerminalMode, if any. Async-signal-safe.
void restoreTerminalNow() noexcept;

}  // namespace tessera::platform
