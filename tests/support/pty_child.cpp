#include "support/pty_child.h"

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>

namespace tessera::test {

using Clock = std::chrono::steady_clock;

PtyChild::PtyChild(const std::function<void()>& body) {
  std::cout.flush();
  std::fflush(nullptr);
  pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
  if (pid_ == 0) {
    body();
    std::cout.flush();
    _exit(0);
  }
}

PtyChild::~PtyChild() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
}

bool PtyChild::send(const std::string& bytes) {
  return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

bool PtyChild::waitFor(const std::string& marker, std::chrono::seconds patience, std::size_t from) {
  const auto deadline = Clock::now() + patience;
  while (output_.find(marker, from) == std::string::npos) {
    if (Clock::now() > deadline || readSome(100) == Read::kEnd) return false;
  }
  return true;
}

bool PtyChild::waitForRawMode() {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    struct termios mode {};
    if (tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ECHO) == 0) return true;
    usleep(2000);
  }
  return false;
}

bool PtyChild::terminalCooked() const {
  struct termios mode {};
  return tcgetattr(master_, &mode) == 0 && (mode.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO);
}

int PtyChild::finish() {
  while (readSome(5000) == Read::kData) {
  }
  int status = 0;
  waitpid(pid_, &status, 0);
  reaped_ = true;
  return status;
}

PtyChild::Read PtyChild::readSome(int timeoutMs) {
  struct pollfd fd {
    master_, POLLIN, 0
  };
  if (poll(&fd, 1, timeoutMs) == 0) return Read::kNothingYet;
  char buffer[512];
  const ssize_t count = read(master_, buffer, sizeof buffer);
  if (count <= 0) return Read::kEnd;  // the child closed the terminal (EIO)
  output_.append(buffer, static_cast<std::size_t>(count));
  return Read::kData;
}

}  // namespace tessera::test
