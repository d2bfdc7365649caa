#include "platform/console.h"

#include <utility>

#include "platform/stream_input.h"

namespace tessera::platform {
namespace {

constexpr std::string_view kPressAnyKey = "Press any key to continue . . . ";

}  // namespace

void Console::line(std::string_view utf8) {
  std::string text(utf8);
  text.push_back('\n');
  write(text);
}

BufferConsole::BufferConsole(std::string input, std::string_view keys, bool interactive)
    : input_(std::move(input)), interactive_(interactive) {
  pressKeys(keys);
}

void BufferConsole::write(std::string_view utf8) { output_.append(utf8); }

void BufferConsole::writeError(std::string_view utf8) { errorOutput_.append(utf8); }

bool BufferConsole::readInt(int& value) { return extractInt(input_, value); }

bool BufferConsole::readToken(std::string& token) { return extractToken(input_, token); }

bool BufferConsole::readLine(std::string& text) { return extractLine(input_, text); }

void BufferConsole::waitForKey() {
  write(kPressAnyKey);
  if (interactive_) readKey();
  write("\n");
}

bool BufferConsole::keyWaiting() { return !keys_.empty(); }

int BufferConsole::readKey() {
  if (keys_.empty()) return -1;
  const int key = keys_.front();
  keys_.pop_front();
  return key;
}

void BufferConsole::warning(std::string_view text) {
  writeError("Warning!\n");
  writeError(text);
  writeError("\n");
  if (!interactive_) return;
  for (int key = readKey(); key != -1 && key != '\n' && key != '\r'; key = readKey()) {
  }
}

void BufferConsole::pressKeys(std::string_view keys) {
  for (char key : keys) keys_.push_back(static_cast<unsigned char>(key));
}

}  // namespace tessera::platform
