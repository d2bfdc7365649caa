// Any bytes as a sequence file, read against two fixed projects (five parts of two types,
// and one without parts). Whatever the check accepts is a usable start for the search and
// survives a write and a second read unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "formats/sequence_file.h"
#include "fuzz_support.h"

using namespace tessera;

namespace {

/// copies[t] parts named "T<t>", ids in type order; only names and counts matter here.
Project projectWithTypes(const std::vector<int>& copies) {
  Project loaded;
  std::vector<Part> parts;
  for (std::size_t t = 0; t < copies.size(); ++t) {
    const std::string name = "T" + std::to_string(t);
    loaded.partTypes.push_back({name, static_cast<int>(t), false, {}});
    for (int c = 0; c < copies[t]; ++c) {
      Part part;
      part.name = name;
      part.volume = 1.0;
      part.id = static_cast<int>(parts.size());
      parts.push_back(part);
      loaded.typeOfPart.push_back(static_cast<int>(t));
    }
  }
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) loaded.parts.pushFront(*it);
  loaded.sequenceLength = loaded.parts.count();
  return loaded;
}

std::string written(const Project& loaded, const SequenceFileContents& contents) {
  std::ostringstream out;
  writeSequenceFile(out, loaded, contents.archive, contents.idSequence);
  return out.str();
}

void checkAccepted(const Project& loaded, const SequenceFileContents& contents) {
  const int n = loaded.sequenceLength;
  const int types = static_cast<int>(loaded.partTypes.size());
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

  const std::string once = written(loaded, contents);
  std::istringstream in(once);
  const SequenceFileContents again = readSequenceFile(loaded, in);
  fuzz::require(!checkSequenceFile(loaded, again).has_value(), "a written file is accepted");
  fuzz::require(again.archive.count() == contents.archive.count(), "no archive entry is lost");
  fuzz::require(written(loaded, again) == once, "writing what was read is stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Project fiveParts = projectWithTypes({3, 2});
  static const Project noParts = projectWithTypes({});
  const std::string text = fuzz::textOf(data, size);
  for (const Project* loaded : {&fiveParts, &noParts}) {
    std::istringstream in(text);
    const SequenceFileContents contents = readSequenceFile(*loaded, in);
    if (!checkSequenceFile(*loaded, contents)) checkAccepted(*loaded, contents);
  }
  return 0;
}
