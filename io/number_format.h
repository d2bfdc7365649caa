#pragma once

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

}  // namespace tessera
