#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <memory>
#include <string>

#include "platform/console.h"
#include "platform/encoding.h"
#include "platform/stream_input.h"
#include "platform/terminal_mode.h"

namespace tessera::platform {
namespace {

constexpr std::string_view kPressAnyKey = "Press any key to continue . . . ";
constexpr std::string_view kConfirm = "[OK] Press Enter . . . ";

// A name that went into a message as read may still be GBK: it is shown as a character too.
void writeTo(std::ostream& stream, std::string_view utf8, bool convertToGbk) {
  const std::string text = convertToGbk ? utf8ToGbk(mixedToUtf8(utf8)) : mixedToUtf8(utf8);
  stream.write(text.data(), static_cast<std::streamsize>(text.size()));
  stream.flush();
}

}  // namespace

TerminalConsole::TerminalConsole() : TerminalConsole(localeUsesGb()) {}

TerminalConsole::TerminalConsole(bool convertToGbk)
    : convertToGbk_(convertToGbk), interactive_(isatty(STDIN_FILENO) == 1) {}

void TerminalConsole::write(std::string_view utf8) { writeTo(std::cout, utf8, convertToGbk_); }

void TerminalConsole::writeError(std::string_view utf8) {
  std::cout.flush();
  writeTo(std::cerr, utf8, convertToGbk_);
}

class TerminalConsole::HeldKeys {
 public:
  // Polling mode: keyWaiting and readKey nest their own modes inside it.
  HeldKeys() : mode(0, 0) {}
  RawTerminalMode mode;
};

void TerminalConsole::holdKeys(bool hold) {
  if (!hold) {
    held_.reset();
  } else if (interactive_ && !held_) {
    held_ = std::make_shared<HeldKeys>();
  }
}

template <typename Read>
bool TerminalConsole::inLineMode(Read read) {
  if (!held_) return read();
  held_.reset();
  const bool result = read();
  held_ = std::make_shared<HeldKeys>();
  return result;
}

bool TerminalConsole::readInt(int& value) {
  return inLineMode([&] { return extractInt(std::cin, value); });
}

bool TerminalConsole::readToken(std::string& token) {
  return inLineMode([&] { return extractToken(std::cin, token); });
}

bool TerminalConsole::readLine(std::string& text) {
  return inLineMode([&] { return extractLine(std::cin, text); });
}

void TerminalConsole::waitForKey() {
  write(kPressAnyKey);
  if (interactive_) readKey();
  write("\n");
}

bool TerminalConsole::keyWaiting() {
  if (!interactive_) return false;
  // Keys typed in line mode are only visible to a read once line editing is off.
  const RawTerminalMode mode(0, 0);
  struct pollfd input {};
  input.fd = STDIN_FILENO;
  input.events = POLLIN;
  int ready = 0;
  do {
    ready = poll(&input, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 && (input.revents & POLLIN) != 0;
}

int TerminalConsole::readKey() {
  if (!interactive_) {
    const auto key = std::cin.get();
    return key == std::char_traits<char>::eof() ? -1 : static_cast<unsigned char>(key);
  }
  std::cout.flush();
  const RawTerminalMode mode(1, 0);
  unsigned char key = 0;
  ssize_t count = 0;
  do {
    count = read(STDIN_FILENO, &key, 1);
  } while (count < 0 && errno == EINTR);
  return count == 1 ? key : -1;
}

void TerminalConsole::warning(std::string_view text) {
  std::string box = "Warning!\n";
  box.append(text);
  box.push_back('\n');
  writeError(box);
  if (!interactive_) return;
  writeError(kConfirm);
  for (int key = readKey(); key != -1 && key != '\n' && key != '\r'; key = readKey()) {
  }
  writeError("\n");
}

}  // namespace tessera::platform
