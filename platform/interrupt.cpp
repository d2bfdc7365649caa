#include "platform/interrupt.h"

#include <unistd.h>

#include <csignal>

#include "platform/terminal_mode.h"

namespace tessera::platform {
namespace {

// Written by the signal handler, so it cannot live in an object.
volatile std::sig_atomic_t interruptCount = 0;

void onInterrupt(int) {
  if (interruptCount > 0) {
    restoreTerminalNow();
    const char newline = '\n';
    [[maybe_unused]] const auto written = write(STDERR_FILENO, &newline, 1);
    _exit(130);
  }
  interruptCount = 1;
}

}  // namespace

void installInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // Reads in progress (the iteration count, a key) carry on after the first Ctrl-C.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

bool interruptRequested() { return interruptCount != 0; }

void clearInterrupt() { interruptCount = 0; }

}  // namespace tessera::platform
