#include "platform/interrupt.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <string>

#include "platform/encoding.h"
#include "platform/terminal_mode.h"

namespace tessera::platform {
namespace {

// Written by the signal handler, so it cannot live in an object.
volatile std::sig_atomic_t interruptCount = 0;

// Read by the signal handler: the bytes are complete whenever noticeLength is not 0.
char notice[1024];
volatile std::sig_atomic_t noticeLength = 0;

void onInterrupt(int) {
  if (interruptCount > 0) {
    restoreTerminalNow();
    const char newline = '\n';
    [[maybe_unused]] const auto written = write(STDERR_FILENO, &newline, 1);
    _exit(130);
  }
  interruptCount = 1;
  const auto length = static_cast<std::size_t>(noticeLength);
  if (length > 0) {
    [[maybe_unused]] const auto written = write(STDERR_FILENO, notice, length);
  }
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

void setInterruptNotice(std::string_view utf8) {
  noticeLength = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (utf8.empty()) return;
  std::string text = localeUsesGb() ? utf8ToGbk(utf8) : std::string(utf8);
  text.insert(text.begin(), '\n');  // the console may stand in the middle of a line
  text.push_back('\n');
  const std::size_t length = std::min(text.size(), std::size_t{1000});
  std::memcpy(notice, text.data(), length);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  noticeLength = static_cast<std::sig_atomic_t>(length);
}

}  // namespace tessera::platform
