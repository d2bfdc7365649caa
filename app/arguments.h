#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessera {

/// Command line of `tessera`. With no arguments the program asks for everything itself.
struct Arguments {
  std::optional<std::string> project;  // as given, relative to the starting folder
  std::optional<int> iterations;
  bool evaluateOnly = false;
  bool picture = true;  // a PNG picture beside every layout drawing
  std::optional<int> threads;  // threads that search orientations; all cores when not given
  bool help = false;
};

/// Parses the arguments after the program name; throws InputError on a malformed one.
Arguments parseArguments(const std::vector<std::string>& args);

/// The text of `tessera --help`.
std::string usageText();

}  // namespace tessera
