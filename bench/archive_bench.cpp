// What a long search's history costs: saving and loading a sequence file whose archive holds
// many type sequences, the way a periodic save and a resumed run do it.
//
//   tessera-archive-bench PROJECT [--entries N] [--file NAME]
//
// Run it in the project's folder. The file (default "archive-bench.txt") is written there and
// removed at the end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "formats/project_loader.h"
#include "formats/sequence_file.h"
#include "model/project.h"
#include "search/random.h"
#include "search/sequences.h"

namespace tessera {
namespace {

struct Options {
  std::string project;
  long entries = 1000000;
  std::string file = "archive-bench.txt";
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr,
               "tessera-archive-bench: %s\n"
               "usage: tessera-archive-bench PROJECT [--entries N] [--file NAME]\n",
               message);
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--entries" && i + 1 < argc) {
      options.entries = std::strtol(argv[++i], nullptr, 10);
      if (options.entries < 1) usage("--entries needs a positive count");
    } else if (a == "--file" && i + 1 < argc) {
      options.file = argv[++i];
    } else if (!a.empty() && a[0] != '-' && options.project.empty()) {
      options.project = a;
    } else {
      usage(("unexpected argument " + a).c_str());
    }
  }
  if (options.project.empty()) usage("no project given");
  return options;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Processor seconds of this process: on a busy machine the wall clock says little.
double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

/// count type sequences of the project in the archive's order: shuffled copies of the
/// identity's type sequence with efficiencies from a few hundred distinct values, so that
/// equal efficiencies are common, as in a real search.
TypeSequenceArchive syntheticArchive(const Project& project, long count) {
  PackingSequence ids;
  for (int i = 0; i < project.sequenceLength; ++i) ids.items.push_back(i);
  PackingSequence types = toTypeSequence(project, ids);
  Random random;
  TypeSequenceArchive archive;
  const std::size_t n = types.items.size();
  for (long e = 0; e < count; ++e) {
    for (std::size_t i = n; i > 1; --i)
      std::swap(types.items[i - 1], types.items[static_cast<std::size_t>(random.next()) % i]);
    // Values the file's six significant digits give back exactly.
    types.efficiency =
        std::strtod(("0." + std::to_string(300 + random.next() % 400)).c_str(), nullptr);
    archive.insertSorted(types);
  }
  return archive;
}

int run(const Options& options) {
  Project project;
  loadProject(project, options.project);
  std::printf("project %s: %d parts, %zu part types\n", options.project.c_str(),
              project.sequenceLength, project.partTypes.size());

  auto start = std::chrono::steady_clock::now();
  double cpu = cpuSeconds();
  const TypeSequenceArchive archive = syntheticArchive(project, options.entries);
  std::printf("build      %ld entries inserted     %8.3f s (processor %8.3f s)\n", options.entries,
              secondsSince(start), cpuSeconds() - cpu);

  PackingSequence best;
  for (int i = 0; i < project.sequenceLength; ++i) best.items.push_back(i);
  best.efficiency = archive.begin()->efficiency;
  start = std::chrono::steady_clock::now();
  cpu = cpuSeconds();
  writeSequenceFile(project, archive, options.file, best);
  const double save = secondsSince(start);
  const double saveCpu = cpuSeconds() - cpu;
  std::ifstream size(options.file, std::ios::binary | std::ios::ate);
  std::printf("save       %.1f MB, written and synced %8.3f s (processor %8.3f s)\n",
              static_cast<double>(size.tellg()) / 1e6, save, saveCpu);

  start = std::chrono::steady_clock::now();
  cpu = cpuSeconds();
  std::ifstream in(options.file, std::ios::binary);
  const SequenceFileContents contents = readSequenceFile(project, in);
  const auto problem = checkSequenceFile(project, contents);
  std::printf("load       read and checked           %8.3f s (processor %8.3f s)\n",
              secondsSince(start), cpuSeconds() - cpu);
  std::remove(options.file.c_str());

  bool same = contents.archive.count() == archive.count() && !problem;
  for (auto a = archive.begin(), b = contents.archive.begin(); same && a != archive.end(); ++a, ++b)
    same = a->items == b->items && a->efficiency == b->efficiency;
  std::printf("checked    the loaded archive %s the saved one%s\n",
              same ? "equals" : "DIFFERS FROM", problem ? (": " + *problem).c_str() : "");
  std::printf("periodic   a save of this archive waits for %.0f s of search after it (share 2%%)\n",
              save / 0.02);
  return same ? 0 : 1;
}

}  // namespace
}  // namespace tessera

int main(int argc, char** argv) {
  try {
    return tessera::run(tessera::parse(argc, argv));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tessera-archive-bench: %s\n", error.what());
    return 1;
  }
}
