// Any bytes as a project file. The text is parsed; when it names only files of a small fixture
// project (plain names, no folders) and few parts, the whole project is loaded as well, so the
// loader sees fuzzed counts, orders and file mix-ups against real polyhedron files.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "formats/project_loader.h"
#include "fuzz_support.h"
#include "model/input_error.h"

using namespace tessera;
namespace fs = std::filesystem;

namespace {

constexpr long kMostLoadedParts = 40;  // keeps one execution in the millisecond range
fs::path fixtureFolder;

void removeFixture() {
  std::error_code ignored;
  fs::remove_all(fixtureFolder, ignored);
}

bool plainName(const std::string& path) {
  return !path.empty() && path.find('/') == std::string::npos && path != "." && path != "..";
}

bool loadable(const ProjectFile& project) {
  if (!plainName(project.containerPath)) return false;
  long parts = 0;
  for (const ProjectBlock& block : project.blocks) {
    if (!plainName(block.partPath)) return false;
    if (block.copyCount > 0) parts += block.copyCount;
  }
  return parts <= kMostLoadedParts && project.blocks.size() <= kMostLoadedParts;
}

void checkLoaded(const Project& loaded, const ProjectFile& project) {
  fuzz::require(loaded.sequenceLength == loaded.parts.count(), "sequenceLength counts the parts");
  fuzz::require(loaded.typeOfPart.size() == static_cast<std::size_t>(loaded.parts.count()),
                "a type for every part");
  fuzz::require(loaded.partTypes.size() == project.blocks.size(), "one part type per block");
  long copies = 0;
  for (const ProjectBlock& block : project.blocks)
    if (block.copyCount > 0) copies += block.copyCount;
  fuzz::require(loaded.parts.count() == copies, "one part per copy, none for a count below 1");
  for (int i = 0; i < loaded.parts.count(); ++i) {
    const Part& part = loaded.parts[i];
    fuzz::require(part.id == i, "ids run 0..n-1 from the front");
    fuzz::require(loaded.typeOf(i) == typeIndexOf(loaded.partTypes, part.name),
                  "the part's type is the first named like it");
    fuzz::require(i == 0 || loaded.parts[i - 1].volume >= part.volume,
                  "parts sorted by non-increasing volume");
  }
}

}  // namespace

// Works in a scratch folder holding the fixture project's files, removed at exit.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/tessera_fuzz_project_XXXXXX";
  if (::mkdtemp(folder) == nullptr) fuzz::broken("a scratch folder can be made");
  fixtureFolder = folder;
  for (const auto& entry : fs::directory_iterator(TESSERA_FUZZ_FIXTURE_DIR))
    fs::copy_file(entry.path(), fixtureFolder / entry.path().filename());
  fs::current_path(fixtureFolder);
  std::atexit(removeFixture);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = fuzz::textOf(data, size);
  ProjectFile project;
  try {
    std::istringstream in(text);
    project = parseProjectFile(in, "fuzz_project.txt");
  } catch (const InputError&) {
    return 0;
  }
  fuzz::require(project.PBSL > 0.0, "PBSL is positive");
  fuzz::require(project.RN >= 1, "RN is at least 1");
  if (!loadable(project)) return 0;

  {
    std::ofstream out("fuzz_project.txt", std::ios::binary | std::ios::trunc);
    out << text;
  }
  Project loaded;
  try {
    loadProject(loaded, "fuzz_project.txt");
  } catch (const InputError&) {
    fuzz::require(loaded.parts.empty() && loaded.partTypes.empty(),
                  "a failed load leaves the project unchanged");
    return 0;
  }
  checkLoaded(loaded, project);
  return 0;
}
