#include "platform/terminal_mode.h"

#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <initializer_list>

namespace tessera::platform {
namespace {

// The terminal is a process-wide resource; its saved mode must be reachable from signal
// handlers and atexit, so it lives here rather than in an object.
struct termios savedMode;
volatile std::sig_atomic_t rawActive = 0;
bool safetyNetInstalled = false;

void restoreAndReraise(int signal) {
  restoreTerminalNow();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void restoreAtExit() { restoreTerminalNow(); }

/// Signals that would end the process by default restore the terminal first. Handlers that
/// someone else installed are left alone (the interrupt handler restores on its own).
void installSafetyNet() {
  if (safetyNetInstalled) return;
  safetyNetInstalled = true;
  std::atexit(restoreAtExit);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction action {};
    action.sa_handler = restoreAndReraise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

RawTerminalMode::RawTerminalMode(int minBytes, int tenthsOfSeconds) {
  struct termios mode {};
  if (tcgetattr(STDIN_FILENO, &mode) != 0) return;
  installSafetyNet();
  previous_ = mode;
  outermost_ = rawActive == 0;
  if (outermost_) {
    savedMode = mode;
    rawActive = 1;
  }
  mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  mode.c_cc[VMIN] = static_cast<cc_t>(minBytes);
  mode.c_cc[VTIME] = static_cast<cc_t>(tenthsOfSeconds);
  if (tcsetattr(STDIN_FILENO, TCSANOW, &mode) != 0) {
    if (outermost_) rawActive = 0;
    return;
  }
  active_ = true;
}

RawTerminalMode::~RawTerminalMode() {
  if (!active_) return;
  if (outermost_) {
    restoreTerminalNow();
  } else {
    tcsetattr(STDIN_FILENO, TCSANOW, &previous_);
  }
}

void restoreTerminalNow() noexcept {
  if (rawActive == 0) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &savedMode);
  rawActive = 0;
}

}  // namespace tessera::platform
