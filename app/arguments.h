#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "placement/placement_rule.h"
#include "search/cooling.h"
#include "search/optimizer.h"
#include "squeeze/squeeze.h"

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
  std::optional<int> threads;  // threads that search orientations; all cores when not given
  std::optional<std::uint32_t>
      seed;                         // the generator's starting state; the fixed one when not given
  std::optional<double> timeLimit;  // seconds of computing time, positive
  std::optional<double> startTemperature;  // positive
  std::optional<CoolingSchedule> schedule;
  std::optional<int> chains;         // annealing chains (squeeze paths) side by side, at least 1
  std::optional<int> exchangeEvery;  // iterations (squeeze moves) of each between exchanges
  std::optional<int> maxSwaps;       // most swaps that make one neighbour, at least 1
  std::optional<PlacementRule> placementRule;
  bool squeeze = false;  // after the greedy start, the overlap repair until the time limit
  std::optional<std::string> layout;  // absolute; a layout file of poses to write out, no search
  std::optional<double> maxHeight;    // several builds of this height, positive
  bool help = false;
};

/// Parses the arguments after the program name, as given; throws InputError on a malformed
/// one. A relative --export path is resolved against startFolder, the folder the command was
/// started in, because the run later changes into the project's folder.
Arguments parseArguments(const std::vector<std::string>& args,
                         const std::filesystem::path& startFolder);

/// The search's settings, resolved once: each option as given, the others as the defaults of
/// a single chain (kSingleChainDefaults) or, with --chains of 2 or more, of several chains
/// (kSeveralChainsDefaults); all cores when --threads is not given.
SearchOptions searchOptionsOf(const Arguments& arguments);

/// The squeeze's settings of a --squeeze run: seed, threads and time limit as
/// searchOptionsOf resolves them, --chains paths side by side that exchange the best layout
/// every --exchange-every moves of each, the squeeze's own defaults when not given.
SqueezeOptions squeezeOptionsOf(const Arguments& arguments);

/// The text of `tessera --help`, which states the same defaults.
std::string usageText();

}  // namespace tessera
