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
#include "support/pty_child.h"

namespace tessera::platform {
namespace {

using test::PtyChild;

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
  ASSERT_TRUE(child.send("x"));  // typed in line mode: polling must still see it
  ASSERT_TRUE(child.waitFor("continue . . ."));
  ASSERT_TRUE(child.waitForRawMode());
  ASSERT_TRUE(child.send("ab"));  // the wait takes 'a', the next read 'b'
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
  ASSERT_TRUE(child.send("\x03"));
  ASSERT_TRUE(child.waitFor("FLAGGED")) << child.output();
  ASSERT_TRUE(child.waitForRawMode());
  ASSERT_TRUE(child.send("\x03"));
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
