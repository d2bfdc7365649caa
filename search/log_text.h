#pragma once

#include <sstream>
#include <string>

namespace tessera {

/// Formats values the way a default output stream does (six significant digits).
template <typename... Values>
std::string text(const Values&... values) {
  std::ostringstream out;
  (out << ... << values);
  return out.str();
}

}  // namespace tessera
