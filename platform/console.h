// platform: the thin layer over the operating system: console, terminal keys, clock, file
// chooser, text encoding, interrupts. Nothing of the packing lives here.
#pragma once

#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

namespace tessera::platform {

/// The user's console. Texts are UTF-8; an implementation may convert them for its device.
/// Every write is flushed before the call returns.
class Console {
 public:
  virtual ~Console() = default;

  /// Standard output.
  virtual void write(std::string_view utf8) = 0;
  /// Standard output, followed by a newline.
  void line(std::string_view utf8);
  /// Standard error.
  virtual void writeError(std::string_view utf8) = 0;

  /// Formatted extraction of one int from standard input (white space skipped, optional sign,
  /// decimal digits); what follows the digits stays unread. On failure (no number, overflow,
  /// end of input) returns false, leaves value unchanged and discards the rest of the line.
  virtual bool readInt(int& value) = 0;
  /// One white-space-delimited token; false (token unchanged) at end of input.
  virtual bool readToken(std::string& token) = 0;
  /// The rest of the current input line without its line end ("\n" or "\r\n");
  /// false (text unchanged) at end of input.
  virtual bool readLine(std::string& text) = 0;

  /// "Press any key to continue . . .", then one key without echo; no wait unless interactive.
  virtual void waitForKey() = 0;
  /// Whether a key press is waiting; never blocks. Always false unless interactive.
  virtual bool keyWaiting() = 0;
  /// One key without echo, waiting for it; -1 at end of input.
  virtual int readKey() = 0;
  /// Whether standard input is a terminal.
  virtual bool interactive() const = 0;
  /// While held (the search runs), keys typed on a terminal are taken without echo, so that
  /// the key that opens the pause dialogue leaves no trace on the next console line. Line
  /// reads go back to line mode with echo for their duration. Nothing to do elsewhere.
  virtual void holdKeys(bool hold) = 0;

  /// The warning box: caption "Warning!" and the text on standard error; when interactive it
  /// waits for Enter (its OK button). The caller decides what happens next.
  virtual void warning(std::string_view text) = 0;
};

/// The process's standard streams. Output is converted to GBK when the locale uses a GB
/// character set (see encoding.h), otherwise written as UTF-8. Input bytes pass unchanged.
class TerminalConsole final : public Console {
 public:
  TerminalConsole();
  explicit TerminalConsole(bool convertToGbk);

  void write(std::string_view utf8) override;
  void writeError(std::string_view utf8) override;
  bool readInt(int& value) override;
  bool readToken(std::string& token) override;
  bool readLine(std::string& text) override;
  void waitForKey() override;
  bool keyWaiting() override;
  int readKey() override;
  bool interactive() const override { return interactive_; }
  void holdKeys(bool hold) override;
  void warning(std::string_view text) override;

 private:
  class HeldKeys;
  template <typename Read>
  bool inLineMode(Read read);

  bool convertToGbk_;
  bool interactive_;
  std::shared_ptr<HeldKeys> held_;
};

/// Holds the console's keys (Console::holdKeys) for as long as it lives.
class KeyHold {
 public:
  explicit KeyHold(Console& console) : console_(console) { console_.holdKeys(true); }
  ~KeyHold() { console_.holdKeys(false); }
  KeyHold(const KeyHold&) = delete;
  KeyHold& operator=(const KeyHold&) = delete;

 private:
  Console& console_;
};

/// An in-memory console for tests: input text and key presses are scripted up front, output
/// and error text are captured as UTF-8. Keys come only from the key queue, input text only
/// from the input script. Non-interactive unless told otherwise; when interactive, waitForKey()
/// takes one key and warning() takes keys up to a line end.
class BufferConsole final : public Console {
 public:
  explicit BufferConsole(std::string input = {}, std::string_view keys = {},
                         bool interactive = false);

  void write(std::string_view utf8) override;
  void writeError(std::string_view utf8) override;
  bool readInt(int& value) override;
  bool readToken(std::string& token) override;
  bool readLine(std::string& text) override;
  void waitForKey() override;
  bool keyWaiting() override;
  int readKey() override;
  bool interactive() const override { return interactive_; }
  void holdKeys(bool) override {}
  void warning(std::string_view text) override;

  /// Appends key presses to the queue, one per byte.
  void pressKeys(std::string_view keys);
  std::size_t keysLeft() const { return keys_.size(); }
  const std::string& output() const { return output_; }
  const std::string& errorOutput() const { return errorOutput_; }

 private:
  std::istringstream input_;
  std::deque<int> keys_;
  bool interactive_;
  std::string output_;
  std::string errorOutput_;
};

}  // namespace tessera::platform
