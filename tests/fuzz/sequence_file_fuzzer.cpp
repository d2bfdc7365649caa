// Any bytes as a sequence file, read against two fixed projects (five parts of two types,
// and one without parts). Whatever the check accepts is a usable start for the search and
// survives a write and a second read unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "formats/sequence_file.h"

using namespace tessera;

namespace {

/// copies[t] parts named "T<t>", ids in type order; only names and counts matter here.
PackingSystem projectWithTypes(const std::vector<int>& copies) {
  PackingSystem system;
  std::vector<Part> parts;
  for (std::size_t t = 0; t < copies.size(); ++t) {
    const std::string name = "T" + std::to_string(t);
    system.partTypes.push_back({name, static_cast<int>(t)});
    for (int c = 0; c < copies[t]; ++c) {
      Part part;
      part.name = name;
      part.volume = 1.0;
      part.id = static_cast<int>(parts.size());
      parts.push_back(part);
    }
  }
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) system.parts.pushFront(*it);
  system.sequenceLength = system.parts.count();
  system.parts.copyInto(system.masterParts);
  return system;
}

std::string written(const PackingSystem& system, const SequenceFileContents& contents) {
  std::ostringstream out;
  writeSequenceFile(out, system, contents.archive, contents.idSequence);
  return out.str();
}

void checkAccepted(const PackingSystem& system, const SequenceFileContents& contents) {
  const int n = system.sequenceLength;
  const int types = static_cast<int>(system.partTypes.size());
  fuzz::require(contents.idSequence.count() == n, "the ID sequence has n items");
  std::vector<bool> seen(static_cast<std::size_t>(n), false);
  for (std::int32_t id : contents.idSequence.items) {
    fuzz::require(id >= 0 && id < n && !seen[static_cast<std::size_t>(id)],
                  "the ID sequence permutes 0..n-1");
    seen[static_cast<std::size_t>(id)] = true;
  }
  const PackingSequence* previous = nullptr;
  for (const PackingSequence& entry : contents.archive) {
    fuzz::require(entry.count() == n && std::isfinite(entry.efficiency),
                  "archive entries have n items and a finite efficiency");
    for (std::int32_t item : entry.items)
      fuzz::require(item >= 0 && item < types, "type indices name part types");
    fuzz::require(previous == nullptr || previous->efficiency >= entry.efficiency,
                  "the archive is sorted best first");
    previous = &entry;
  }

  const std::string once = written(system, contents);
  std::istringstream in(once);
  const SequenceFileContents again = readSequenceFile(system, in);
  fuzz::require(!checkSequenceFile(system, again).has_value(), "a written file is accepted");
  fuzz::require(again.archive.count() == contents.archive.count(), "no archive entry is lost");
  fuzz::require(written(system, again) == once, "writing what was read is stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const PackingSystem fiveParts = projectWithTypes({3, 2});
  static const PackingSystem noParts = projectWithTypes({});
  const std::string text = fuzz::textOf(data, size);
  for (const PackingSystem* system : {&fiveParts, &noParts}) {
    std::istringstream in(text);
    const SequenceFileContents contents = readSequenceFile(*system, in);
    if (!checkSequenceFile(*system, contents)) checkAccepted(*system, contents);
  }
  return 0;
}
