#pragma once

#include <cstdio>
#include <locale>
#include <sstream>
#include <string>

namespace tessera {

/// A double as a default-configured output stream writes it (general notation, six
/// significant digits), independent of the global locale.
inline std::string formatNumber(double value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << value;
  return out.str();
}

/// A double with 17 significant digits, enough to read back the same value.
inline std::string formatExactNumber(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

}  // namespace tessera
