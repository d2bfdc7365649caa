#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

// A child process on a fresh pseudo-terminal, for tests of the real console.
namespace tessera::test {

/// The parent's end of a child running on a fresh pseudo-terminal.
class PtyChild {
 public:
  /// Runs body in the child (on the terminal) and ends the child with status 0 after it.
  explicit PtyChild(const std::function<void()>& body);
  ~PtyChild();
  PtyChild(const PtyChild&) = delete;
  PtyChild& operator=(const PtyChild&) = delete;

  bool started() const { return pid_ > 0; }
  /// Types bytes on the child's terminal; false if they could not all be written.
  bool send(const std::string& bytes);
  /// Reads output until it contains marker (searched after from); false on timeout or end.
  bool waitFor(const std::string& marker, std::chrono::seconds patience = std::chrono::seconds(10),
               std::size_t from = 0);
  /// Waits until the child has switched its terminal to raw keys (no echo).
  bool waitForRawMode();
  /// Whether the terminal is back in line mode with echo.
  bool terminalCooked() const;
  /// Collects the rest of the output and the wait status.
  int finish();

  const std::string& output() const { return output_; }

 private:
  enum class Read { kData, kNothingYet, kEnd };
  Read readSome(int timeoutMs);

  int master_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  std::string output_;
};

}  // namespace tessera::test
