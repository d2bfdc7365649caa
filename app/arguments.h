#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "model/packing_system.h"
#include "search/cooling.h"

namespace tessera {

/// Command line of `tessera`. With no arguments the program asks for everything itself.
struct Arguments {
  std::optional<std::string> project;  // as given, relative to the starting folder
  std::optional<int> iterations;
  bool evaluateOnly = false;
  bool picture = true;                    // a PNG picture beside every layout drawing
  std::optional<std::string> exportPath;  // absolute; its extension names the mesh format
  bool exportContainer = false;           // the container as an object of the export
  bool exportShapes = false;              // the packing shapes beside the original meshes
  std::optional<int> threads;             // threads that search orientations; all cores when not given
  std::optional<std::uint32_t> seed;      // the generator's starting state; the fixed one when not given
  std::optional<double> timeLimit;        // seconds of computing time, positive
  std::optional<double> startTemperature;  // positive
  std::optional<CoolingSchedule> schedule;
  std::optional<int> chains;         // annealing chains side by side, at least 1
  std::optional<int> exchangeEvery;  // iterations of each chain between exchanges, at least 1
  std::optional<int> maxSwaps;       // most swaps that make one neighbour, at least 1
  PlacementRule placementRule = PlacementRule::lowestPoint;
  bool help = false;
};

/// What a search of several chains uses for the options not given. Chosen by measuring the
/// height reached in equal time on the bundled and the scale projects (README, "Choosing the
/// defaults of several chains"); a single chain keeps the specified search. --help states them
/// too: change both together.
struct ChainDefaults {
  PlacementRule placementRule = PlacementRule::lowestTop;
  int maxSwaps = 3;
  double startTemperature = 0.003;
  int exchangeEvery = 10;
};
inline constexpr ChainDefaults kChainDefaults{};

/// Parses the arguments after the program name; throws InputError on a malformed one. With
/// --chains K of 2 or more, every option of kChainDefaults not given takes its value there. A
/// relative --export path is resolved against startFolder, the folder the command was started
/// in, because the run later changes into the project's folder.
Arguments parseArguments(const std::vector<std::string>& args,
                         const std::filesystem::path& startFolder);

/// The text of `tessera --help`.
std::string usageText();

}  // namespace tessera
