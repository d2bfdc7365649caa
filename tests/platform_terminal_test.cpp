// The real console on a pseudo-terminal and on a pipe, each in a child process.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#include "platform/console.h"
#include "platform/interrupt.h"

namespace tessera::platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(10);

/// The parent's end of a child running on a fresh pseudo-terminal.
class PtyChild {
 public:
  explicit PtyChild(const std::function<void()>& body) {
    std::cout.flush();
    std::fflush(nullptr);
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      body();
      std::cout.flush();
      _exit(0);
    }
  }
  ~PtyChild() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

  bool started() const { return pid_ > 0; }
  void send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  /// Reads output until it contains marker; false on timeout or end of output.
  bool waitFor(const std::string& marker) {
    const auto deadline = Clock::now() + kPatience;
    while (output_.find(marker) == std::string::npos) {
      if (Clock::now() > deadline || readSome(100) == Read::kEnd) return false;
    }
    return true;
  }

  /// Waits until the child has switched its terminal to raw keys (no echo).
  bool waitForRawMode() {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      struct termios mode {};
      if (tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ECHO) == 0) return true;
      usleep(2000);
    }
    return false;
  }

  bool terminalCooked() const {
    struct termios mode {};
    return tcgetattr(master_, &mode) == 0 && (mode.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO);
  }

  /// Collects the rest of the output and the exit status.
  int finish() {
    while (readSome(5000) == Read::kData) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    reaped_ = true;
    return status;
  }

  const std::string& output() const { return output_; }

 private:
  enum class Read { kData, kNothingYet, kEnd };

  Read readSome(int timeoutMs) {
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

  int master_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  std::string output_;
};

void say(const std::string& text) { std::cout << text << std::endl; }

TEST(TerminalConsole, PollsReadsKeysWithoutEchoAndRestoresTheTerminal) {
  PtyChild child([] {
    TerminalConsole console(true);
    say(std::string("interactive=") + (console.interactive() ? "1" : "0") +
        " waiting=" + (console.keyWaiting() ? "1" : "0"));
    console.line("秒");
    say("READY");
    bool seen = false;
    for (int i = 0; i < 500 && !seen; ++i) {
      seen = console.keyWaiting();
      if (!seen) usleep(10000);
    }
    say(std::string("seen=") + (seen ? "1" : "0") + " key=" + std::to_string(console.readKey()));
    console.waitForKey();
    say("next=" + std::to_string(console.readKey()));
  });
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.waitFor("READY"));
  child.send("x");  // typed in line mode: polling must still see it
  ASSERT_TRUE(child.waitFor("continue . . ."));
  ASSERT_TRUE(child.waitForRawMode());
  child.send("ab");  // the wait takes 'a', the next read 'b'
  const int status = child.finish();

  const std::string& out = child.output();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
  EXPECT_NE(out.find("interactive=1 waiting=0"), std::string::npos) << out;
  EXPECT_NE(out.find("\xC3\xEB"), std::string::npos) << out;  // converted for a GBK console
  EXPECT_NE(out.find("seen=1 key=120"), std::string::npos) << out;
  EXPECT_NE(out.find("next=98"), std::string::npos) << out;
  const std::string afterPrompt = out.substr(out.find("continue . . ."));
  EXPECT_EQ(afterPrompt.find('a'), std::string::npos) << "echoed: " << out;
  EXPECT_TRUE(child.terminalCooked());
}

TEST(Interrupt, SecondCtrlCDuringAKeyWaitEndsWith130AndRestoresTheTerminal) {
  PtyChild child([] {
    installInterruptHandler();
    TerminalConsole console(false);
    say("READY");
    for (int i = 0; i < 1000 && !interruptRequested(); ++i) usleep(10000);
    say(interruptRequested() ? "FLAGGED" : "NO FLAG");
    console.readKey();
    say("STILL RUNNING");
  });
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.waitFor("READY"));
  child.send("\x03");
  ASSERT_TRUE(child.waitFor("FLAGGED")) << child.output();
  ASSERT_TRUE(child.waitForRawMode());
  child.send("\x03");
  const int status = child.finish();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << child.output();
  EXPECT_EQ(child.output().find("STILL RUNNING"), std::string::npos);
  EXPECT_TRUE(child.terminalCooked());
}

TEST(Interrupt, FirstSignalOnlyRaisesTheFlag) {
  struct sigaction previous {};
  sigaction(SIGINT, nullptr, &previous);
  installInterruptHandler();
  clearInterrupt();
  EXPECT_FALSE(interruptRequested());
  std::raise(SIGINT);
  EXPECT_TRUE(interruptRequested());
  clearInterrupt();
  EXPECT_FALSE(interruptRequested());
  sigaction(SIGINT, &previous, nullptr);
}

TEST(TerminalConsole, WithoutATerminalNothingWaitsAndNoKeyIsSeen) {
  int input[2];
  int output[2];
  ASSERT_EQ(pipe(input), 0);
  ASSERT_EQ(pipe(output), 0);
  std::cout.flush();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(input[0], STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    close(input[1]);
    close(output[0]);
    TerminalConsole console(false);
    const bool waiting = console.keyWaiting();
    console.waitForKey();
    int value = 500;
    const bool read = console.readInt(value);
    const int lineEnd = console.readKey();
    const int end = console.readKey();
    console.line(std::string(console.interactive() ? "tty" : "pipe") + (waiting ? " key" : "") +
                 " " + (read ? std::to_string(value) : "none") + " " + std::to_string(lineEnd) +
                 " " + std::to_string(end));
    _exit(0);
  }
  close(input[0]);
  close(output[1]);
  ASSERT_EQ(write(input[1], "7\n", 2), 2);
  close(input[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(output[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  close(output[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "Press any key to continue . . . \npipe 7 10 -1\n");
}

}  // namespace
}  // namespace tessera::platform
