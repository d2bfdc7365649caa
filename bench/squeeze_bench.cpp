// The squeeze on one project: the height over time, the moves per second and the final height
// against the greedy start, with the final layout checked again by the exact predicates.
//
//   tessera-squeeze-bench PROJECT SECONDS [--seed S] [--threads N] [--moves M]
//                         [--sequence FILE] [--best-known H] [--quiet] [--set NAME=VALUE]...
//
// The greedy start is the fast evaluation of the identity sequence, or of the best sequence of
// a sequence file (--sequence, e.g. one a search left). --moves M gives a move budget instead
// of the wall-clock limit (SECONDS then only bounds the run). PROJECT's part files are read
// relative to its folder. --set changes one setting of the squeeze by its name, for tuning.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/project_loader.h"
#include "formats/sequence_file.h"
#include "model/input_error.h"
#include "model/layout.h"
#include "model/project.h"
#include "placement/fast_evaluation.h"
#include "squeeze/layout_check.h"
#include "squeeze/problem.h"
#include "squeeze/squeeze.h"

namespace tessera {
namespace {

struct Options {
  std::string project;
  double seconds = 60.0;
  std::uint64_t seed = 1;
  int threads = 1;
  std::uint64_t moves = 0;
  std::string sequence;
  double bestKnown = 0.0;
  bool quiet = false;
  std::vector<std::string> settings;  // name=value, for tuning
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr,
               "%s\nUsage: tessera-squeeze-bench PROJECT SECONDS [--seed S] [--threads N] "
               "[--moves M] [--sequence FILE] [--best-known H] [--quiet] [--set NAME=VALUE]...\n",
               message);
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage(("missing value after " + arg).c_str());
      return argv[++i];
    };
    if (arg == "--seed") {
      o.seed = std::strtoull(value().c_str(), nullptr, 10);
    } else if (arg == "--threads") {
      o.threads = std::atoi(value().c_str());
    } else if (arg == "--moves") {
      o.moves = std::strtoull(value().c_str(), nullptr, 10);
    } else if (arg == "--sequence") {
      o.sequence = std::filesystem::absolute(value()).string();
    } else if (arg == "--best-known") {
      o.bestKnown = std::atof(value().c_str());
    } else if (arg == "--set") {
      o.settings.push_back(value());
    } else if (arg == "--quiet") {
      o.quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      usage(("unknown option " + arg).c_str());
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) usage("give PROJECT and SECONDS");
  o.project = positional[0];
  o.seconds = std::atof(positional[1].c_str());
  if (!(o.seconds > 0.0)) usage("SECONDS must be positive");
  return o;
}

// Tuning: one setting of the squeeze by its name.
void applySetting(SqueezeOptions& options, const std::string& setting) {
  const std::size_t eq = setting.find('=');
  if (eq == std::string::npos) usage(("--set needs name=value: " + setting).c_str());
  const std::string name = setting.substr(0, eq);
  const double v = std::atof(setting.c_str() + eq + 1);
  SeparatorOptions& s = options.separator;
  if (name == "exchangeEvery") {
    options.exchangeEvery = static_cast<std::uint64_t>(v);
    return;
  }
  if (name == "shrinkScales" || name == "settle") {
    (name == "settle" ? options.settle : options.shrinkScales) = v != 0.0;
    return;
  }
  struct Entry {
    const char* name;
    double* real;
    int* whole;
  };
  const Entry entries[] = {
      {"workers", nullptr, &options.workers},
      {"explorationShare", &options.explorationShare, nullptr},
      {"explorationRatio", &options.explorationRatio, nullptr},
      {"compressionRatioHigh", &options.compressionRatioHigh, nullptr},
      {"compressionRatioLow", &options.compressionRatioLow, nullptr},
      {"globalSamples", nullptr, &s.globalSamples},
      {"globalTurnShare", &s.globalTurnShare, nullptr},
      {"localSamples", nullptr, &s.localSamples},
      {"localReach", &s.localReach, nullptr},
      {"turnShare", &s.turnShare, nullptr},
      {"descentStart", &s.descentStart, nullptr},
      {"descentEnd", &s.descentEnd, nullptr},
      {"passesWithoutImprovement", nullptr, &s.passesWithoutImprovement},
      {"strikes", nullptr, &s.strikes},
      {"weightGrowthLow", &s.weightGrowthLow, nullptr},
      {"weightGrowthHigh", &s.weightGrowthHigh, nullptr},
      {"weightDecay", &s.weightDecay, nullptr},
      {"decayShare", &s.decayShare, nullptr},
      {"fieldNodes", nullptr, &options.fields.maxNodes},
      {"fieldCells", nullptr, &options.fields.cellsAcross},
      {"fieldSamples", nullptr, &options.fields.samples},
  };
  for (const Entry& e : entries) {
    if (name != e.name) continue;
    if (e.real != nullptr) *e.real = v;
    if (e.whole != nullptr) *e.whole = static_cast<int>(v);
    return;
  }
  usage(("unknown setting " + name).c_str());
}

PackingSequence startSequence(const Project& project, const std::string& file) {
  PackingSequence ids;
  for (int i = 0; i < project.sequenceLength; ++i) ids.items.push_back(i);
  if (file.empty()) return ids;
  std::ifstream in(file);
  const SequenceFileContents contents = readSequenceFile(project, in);
  if (const auto problem = checkSequenceFile(project, contents)) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), problem->c_str());
    std::exit(1);
  }
  return contents.idSequence;
}

int run(const Options& o) {
  const std::filesystem::path project = std::filesystem::absolute(o.project);
  std::filesystem::current_path(project.parent_path());
  const std::string projectFile = project.filename().string();

  Project loaded;
  loadProject(loaded, projectFile);
  buildOrientations(loaded);
  FastEvaluator evaluator(o.threads);
  const Layout greedy = evaluator.evaluate(loaded, startSequence(loaded, o.sequence));
  const double efficiency = greedy.measure.efficiency();

  const SqueezeProblem problem = makeProblem(loaded);
  if (const std::string refusal = squeezeRefusal(problem); !refusal.empty()) {
    std::fprintf(stderr, "%s: %s\n", o.project.c_str(), refusal.c_str());
    return 1;
  }
  const std::vector<Pose> start = posesFromLayout(problem, greedy);
  const LayoutCheck startCheck = checkLayout(problem, start);
  // No layout is lower than its tallest part in that part's lowest orientation.
  double tallest = 0.0;
  for (int t = 0; t < problem.typeCount(); ++t) {
    double lowest = INFINITY;
    for (int turn : problem.allowedOrientations[static_cast<std::size_t>(t)]) {
      Polyhedron turned = problem.types[static_cast<std::size_t>(t)];
      turned.transform(problem.orientations[static_cast<std::size_t>(turn)]);
      lowest = std::min(lowest, turned.boxMax.z - turned.boxMin.z);
    }
    tallest = std::max(tallest, lowest);
  }
  std::printf("project %s: %d parts of %d types, %zu orientations, tallest part %.4f\n",
              o.project.c_str(), problem.partCount(), problem.typeCount(),
              problem.orientations.size(), tallest);
  std::printf(
      "greedy start: height %.4f (efficiency %.6f), %s (%zu interfering pairs, %zu parts "
      "outside)\n",
      startCheck.height, efficiency, startCheck.feasible() ? "feasible" : "not feasible as poses",
      startCheck.interfering.size(), startCheck.outside.size());

  SqueezeOptions options;
  options.seed = o.seed;
  options.threads = o.threads;
  options.timeLimit = o.seconds;
  options.moveBudget = o.moves;
  for (const std::string& setting : o.settings) applySetting(options, setting);
  const auto began = std::chrono::steady_clock::now();
  SqueezeObserver observer = [&](const std::vector<Pose>&, const SqueezeProgress& p) {
    if (o.quiet) return;
    std::printf("%9.2f s  height %.4f  moves %llu  exact tests %llu\n", p.seconds, p.height,
                static_cast<unsigned long long>(p.moves),
                static_cast<unsigned long long>(p.exactTests));
    std::fflush(stdout);
  };
  const SqueezeResult result = squeezeLayout(problem, start, options, observer);
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec) +
                     1e-6 * static_cast<double>(usage.ru_utime.tv_usec);
  const LayoutCheck final = checkLayout(problem, result.poses);
  const SqueezeProgress& p = result.progress;
  std::printf("moves %llu in %.1f s: %.0f moves/s, %.0f poses scored/s, %.0f exact tests/s\n",
              static_cast<unsigned long long>(p.moves), elapsed,
              static_cast<double>(p.moves) / elapsed, static_cast<double>(p.evaluations) / elapsed,
              static_cast<double>(p.exactTests) / elapsed);
  std::printf(
      "repairs %llu, improvements %llu, processor time %.1f s (%.0f moves per processor second)\n",
      static_cast<unsigned long long>(p.repairs), static_cast<unsigned long long>(p.improvements),
      cpu, static_cast<double>(p.moves) / cpu);
  std::printf("final height %.4f against greedy %.4f (%+.1f%%)", final.height, startCheck.height,
              100.0 * (final.height / startCheck.height - 1.0));
  if (o.bestKnown > 0.0)
    std::printf(", best known %.4f (%+.2f%%)", o.bestKnown,
                100.0 * (final.height / o.bestKnown - 1.0));
  std::printf("\nexact check of the final layout: %s (%zu interfering pairs, %zu parts outside)\n",
              final.feasible() ? "feasible" : "NOT FEASIBLE", final.interfering.size(),
              final.outside.size());
  return final.feasible() ? 0 : 1;
}

}  // namespace
}  // namespace tessera

int main(int argc, char** argv) {
  try {
    return tessera::run(tessera::parse(argc, argv));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tessera-squeeze-bench: %s\n", e.what());
    return 1;
  }
}
