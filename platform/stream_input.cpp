#include "platform/stream_input.h"

#include <limits>
#include <utility>

namespace tessera::platform {

bool extractInt(std::istream& in, int& value) {
  int read = 0;
  if (in >> read) {
    value = read;
    return true;
  }
  // A rejected answer must not become the answer to the next question.
  if (!in.bad() && !in.eof()) {
    in.clear();
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return false;
}

bool extractToken(std::istream& in, std::string& token) {
  std::string read;
  if (!(in >> read)) return false;
  token = std::move(read);
  return true;
}

bool extractLine(std::istream& in, std::string& text) {
  std::string read;
  if (!std::getline(in, read)) return false;
  if (!read.empty() && read.back() == '\r') read.pop_back();
  text = std::move(read);
  return true;
}

}  // namespace tessera::platform
